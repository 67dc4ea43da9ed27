#include "parameter_typing.h"

#include <slang/ast/ASTVisitor.h>
#include <slang/ast/Compilation.h>
#include <slang/ast/symbols/ParameterSymbols.h>
#include <slang/syntax/AllSyntax.h>
#include <slang/syntax/SyntaxTree.h>
#include <slang/syntax/SyntaxVisitor.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

using namespace slang::ast;
using namespace slang::syntax;

bool isUntypedParameter(const ParameterSymbol& param) {
    const DataTypeSyntax* type = param.getDeclaredType()->getTypeSyntax();
    return type && type->kind == SyntaxKind::ImplicitType &&
           type->as<ImplicitTypeSyntax>().dimensions.empty();
}

bool defparamRetypes(const DefParamSymbol& defparam, const ParameterSymbol& param) {
    if (!isUntypedParameter(param))
        return false;
    const Expression& value = defparam.getInitializer();
    const Type& given = *value.type;
    const Type& kept = param.getType();
    if (!given.isIntegral() || !kept.isIntegral())
        return !given.isMatching(kept);
    // An unbased literal alone is one bit.
    const bool lone_literal =
        value.unwrapImplicitConversions().kind == ExpressionKind::UnbasedUnsizedIntegerLiteral;
    const bool sign_declared = static_cast<bool>(
        param.getDeclaredType()->getTypeSyntax()->as<ImplicitTypeSyntax>().signing);
    return (lone_literal ? 1 : given.getBitWidth()) != kept.getBitWidth() ||
           (!sign_declared && given.isSigned() != kept.isSigned());
}

namespace {

// The defparams of a design, and the unbased literals that alone give an
// untyped parameter its value in its declaration or an instance's override.
class ParameterScan : public ASTVisitor<ParameterScan, false, false> {
public:
    DefparamTargets defparams;
    std::vector<std::pair<const ParameterSymbol*, const SyntaxNode*>> lone_literals;

    void handle(const DefParamSymbol& d) {
        if (const Symbol* target = d.getTarget(); target && target->kind == SymbolKind::Parameter)
            defparams.emplace(&target->as<ParameterSymbol>(), &d);
    }
    void handle(const ParameterSymbol& param) {
        const Expression* init = param.getInitializer();
        if (!init || !isUntypedParameter(param))
            return;
        const Expression& value = init->unwrapImplicitConversions();
        if (value.kind == ExpressionKind::UnbasedUnsizedIntegerLiteral && value.syntax)
            lone_literals.emplace_back(&param, value.syntax);
    }
    void handle(const GenerateBlockSymbol& block) {
        if (!block.isUninstantiated)
            visitDefault(block);
    }
};

class LiteralSizer : public SyntaxRewriter<LiteralSizer> {
public:
    explicit LiteralSizer(const std::set<const SyntaxNode*>& targets) : targets_(targets) {}
    void handle(const LiteralExpressionSyntax& literal) {
        if (!targets_.count(&literal))
            return;
        // '1 is 1'b1, 'x is 1'bx: the digit after the apostrophe.
        const std::string_view text = literal.literal.rawText();
        auto& sized = parse("1'b" + std::string(text.substr(text.size() - 1)))
                          .as<IntegerVectorExpressionSyntax>();
        const slang::SourceLocation where = literal.literal.location();
        replace(literal,
                factory.integerVectorExpression(sized.size.withLocation(alloc, where),
                                                sized.base.withLocation(alloc, where),
                                                sized.value.withLocation(alloc, where)),
                true);
    }

private:
    const std::set<const SyntaxNode*>& targets_;
};

} // namespace

DefparamTargets defparamTargets(const RootSymbol& root) {
    // Most designs have none: the parser knows, and the walk is spared.
    const auto trees = root.getCompilation().getSyntaxTrees();
    if (std::none_of(trees.begin(), trees.end(),
                     [](const auto& tree) { return tree->getMetadata().hasDefparams; }))
        return {};
    ParameterScan scan;
    root.visit(scan);
    return std::move(scan.defparams);
}

std::shared_ptr<SyntaxTree> withSizedParameterLiterals(const RootSymbol& root,
                                                       const std::shared_ptr<SyntaxTree>& tree) {
    ParameterScan scan;
    root.visit(scan);
    // A defparam's value replaces the declared one.
    std::set<const SyntaxNode*> literals;
    for (const auto& [param, literal] : scan.lone_literals)
        if (!scan.defparams.count(param))
            literals.insert(literal);
    if (literals.empty())
        return tree;
    return LiteralSizer(literals).transform(tree);
}
