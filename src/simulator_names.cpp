// From slang expressions to the names under which signals are registered.
#include "simulator.h"

#include <slang/ast/EvalContext.h>

using namespace slang::ast;

namespace {

bool isSignConversionCall(const Expression& e) {
    if (e.kind != ExpressionKind::Call)
        return false;
    const auto& call = e.as<CallExpression>();
    const auto name = call.getSubroutineName();
    return call.isSystemCall() && (name == "$signed" || name == "$unsigned");
}

const Expression* firstArgument(const CallExpression& call) {
    const auto args = call.arguments();
    return args.empty() ? nullptr : args[0];
}

// The value of an index written as a literal or as a parameter name.
std::optional<uint64_t> literalOrParameter(const Expression& selector) {
    const Expression& sel = selector.unwrapImplicitConversions();
    if (sel.kind == ExpressionKind::IntegerLiteral)
        return SimulatorBuilder::literalValue(sel).value_or(0);
    if (sel.kind == ExpressionKind::NamedValue) {
        const Symbol& sym = sel.as<NamedValueExpression>().symbol;
        if (sym.kind == SymbolKind::Parameter) {
            const auto& value = sym.as<ParameterSymbol>().getValue();
            if (value.isInteger())
                return value.integer().as<uint64_t>().value_or(0);
        }
    }
    return std::nullopt;
}

} // namespace

std::string SimulatorBuilder::extractSignalName(const Expression& expr) {
    const Expression& e = expr.unwrapImplicitConversions();
    switch (e.kind) {
    case ExpressionKind::Call: {
        if (!isSignConversionCall(e))
            return "";
        const Expression* arg = firstArgument(e.as<CallExpression>());
        return arg ? extractSignalName(*arg) : "";
    }
    // An instance body never sits in its instance's scope, so names are never
    // qualified here: scoped names come from the prefix (resolveSignalName).
    case ExpressionKind::NamedValue:
        return std::string(e.as<NamedValueExpression>().symbol.name);
    case ExpressionKind::HierarchicalValue:
        return hierarchicalName(e.as<HierarchicalValueExpression>().symbol);
    case ExpressionKind::MemberAccess: {
        const auto& access = e.as<MemberAccessExpression>();
        const std::string base = extractSignalName(access.value());
        const std::string member(access.member.name);
        return base.empty() ? member : base + "." + member;
    }
    case ExpressionKind::LValueReference: {
        const Symbol* sym = e.getSymbolReference();
        return sym ? std::string(sym->name) : _compound_target;
    }
    case ExpressionKind::ElementSelect: {
        const auto& select = e.as<ElementSelectExpression>();
        const std::string base = extractSignalName(select.value());
        if (base.empty())
            return "";
        if (auto index = literalOrParameter(select.selector()))
            return bit_name(base, static_cast<int>(*index));
        return base;
    }
    case ExpressionKind::RangeSelect:
        return extractSignalName(e.as<RangeSelectExpression>().value());
    case ExpressionKind::BinaryOp: {
        const auto& bin = e.as<BinaryExpression>();
        const Expression& left = bin.left().unwrapImplicitConversions();
        const Expression& right = bin.right().unwrapImplicitConversions();
        const std::string left_name = extractSignalName(left);
        if (right.kind == ExpressionKind::IntegerLiteral && !left_name.empty())
            return resolveSignalName(left_name);
        if (left.kind == ExpressionKind::IntegerLiteral) {
            const std::string right_name = extractSignalName(right);
            if (!right_name.empty())
                return resolveSignalName(right_name);
        }
        return left_name.empty() ? "" : resolveSignalName(left_name);
    }
    default:
        return "";
    }
}

// A signal reached by a hierarchical reference (`u_mid.u_leaf.q` from the
// testbench) is registered under its instance path below the top.
std::string SimulatorBuilder::hierarchicalName(const Symbol& symbol) const {
    const std::string path = symbol.getHierarchicalPath();
    const size_t below_top = path.find('.');
    if (below_top != std::string::npos && isRegistered(path.substr(below_top + 1)))
        return path.substr(below_top + 1);
    return std::string(symbol.name);
}

std::string SimulatorBuilder::resolveSignalName(const std::string& name) const {
    if (!_current_scope_prefix.empty()) {
        std::string scoped = _current_scope_prefix + "." + name;
        if (isRegistered(scoped))
            return scoped;
    }
    return name;
}

std::string SimulatorBuilder::resolveOperandName(const Expression& expr) {
    return resolveSignalName(extractSignalName(expr));
}

bool SimulatorBuilder::isSignalReference(const Expression& expr) {
    const Expression& e = expr.unwrapImplicitConversions();
    switch (e.kind) {
    case ExpressionKind::NamedValue:
    case ExpressionKind::HierarchicalValue:
    case ExpressionKind::MemberAccess:
    case ExpressionKind::LValueReference:
        return true;
    case ExpressionKind::Call: {
        if (!isSignConversionCall(e))
            return false;
        const Expression* arg = firstArgument(e.as<CallExpression>());
        return arg && isSignalReference(*arg);
    }
    default:
        return false;
    }
}

std::optional<uint64_t> SimulatorBuilder::literalValue(const Expression& expr) {
    const Expression& e = expr.unwrapImplicitConversions();
    if (e.kind != ExpressionKind::IntegerLiteral)
        return std::nullopt;
    const slang::SVInt value = e.as<IntegerLiteral>().getValue();
    if (value.hasUnknown())
        return std::nullopt;
    return value.as<uint64_t>();
}

std::optional<uint64_t> SimulatorBuilder::evalConstant(const Expression& expr,
                                                      const Symbol* context) {
    if (auto v = literalValue(expr))
        return v;
    if (!context || !context->getParentScope())
        return std::nullopt;
    EvalContext eval(ASTContext(*context->getParentScope(), LookupLocation::max));
    const slang::ConstantValue cv = expr.eval(eval);
    if (!cv.isInteger() || cv.integer().hasUnknown())
        return std::nullopt;
    return cv.integer().as<uint64_t>();
}
