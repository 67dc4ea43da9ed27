// Condition closures: a SystemVerilog condition becomes a pair of expression
// closures (holds, does not hold) in the kernel. A value wider than one bit
// holds when it is non-zero.
#include "kernel_utils.h"
#include "simulator.h"

using namespace slang::ast;
using wsim_kernel::sim_state;
using operand_t = wsim_kernel::operand_t;

namespace {

// Registers `holds` and its negation; answers true.
bool addPair(wsim_kernel::exp_t holds, int& true_lambda, int& false_lambda) {
    true_lambda = kernel().add_exp(holds);
    false_lambda = kernel().add_exp([holds] { return !holds(); });
    return true;
}

bool isComparison(BinaryOperator op) {
    switch (op) {
    case BinaryOperator::Equality:
    case BinaryOperator::CaseEquality:
    case BinaryOperator::Inequality:
    case BinaryOperator::CaseInequality:
    case BinaryOperator::GreaterThan:
    case BinaryOperator::GreaterThanEqual:
    case BinaryOperator::LessThan:
    case BinaryOperator::LessThanEqual: return true;
    default: return false;
    }
}

// A registered whole signal on the right of a comparison.
bool registeredSignal(SimulatorBuilder& b, const Expression& e, int& pos, operand_t& type) {
    if (!SimulatorBuilder::isSignalReference(e))
        return false;
    const std::string name = b.resolveOperandName(e);
    if (!b.isRegistered(name))
        return false;
    pos = b.signal_positions[name];
    type = b.getSignalType(name);
    return true;
}

int bitWidthOf(const Expression& e) { return e.type ? static_cast<int>(e.type->getBitWidth()) : 0; }

bool isSignedType(const Expression& e) { return e.type && e.type->isSigned(); }

} // namespace

bool SimulatorBuilder::buildConditionLambdas(const Expression* expr, int stmt_line,
                                             int& true_lambda, int& false_lambda) {
    true_lambda = 0;
    false_lambda = 0;
    if (!expr)
        return false;
    const Expression& e = expr->unwrapImplicitConversions();
    int t = 0;
    int f = 0;
    bool ok = false;
    if (e.kind == ExpressionKind::Call && !isSignalReference(e))
        ok = sampledValueCondition(e.as<CallExpression>(), t, f);
    else if (isSignalReference(e))
        ok = signalCondition(e, t, f);
    else if (e.kind == ExpressionKind::UnaryOp)
        ok = unaryCondition(e.as<UnaryExpression>(), stmt_line, t, f);
    else if (e.kind == ExpressionKind::BinaryOp)
        ok = binaryCondition(e.as<BinaryExpression>(), stmt_line, t, f);
    if (!ok)
        return false;
    true_lambda = t;
    false_lambda = f;
    return true;
}

bool SimulatorBuilder::sampledValueCondition(const CallExpression& call, int& t, int& f) {
    const std::string_view fn = call.getSubroutineName();
    if (fn != "$stable" && fn != "$changed" && fn != "$rose" && fn != "$fell")
        return false;
    if (call.arguments().empty() || !isSignalReference(*call.arguments()[0]))
        return false;
    const std::string name = resolveOperandName(*call.arguments()[0]);
    if (name.empty() || !isRegistered(name))
        return false;
    const int pos = signal_positions[name];
    const operand_t type = getSignalType(name);
    const int entry = kernel().add_stable_entry(wsim_kernel::stable_entry(pos, type));
    _pending_stable_deps.push_back(entry);

    const auto upos = static_cast<unsigned>(pos);
    const auto uentry = static_cast<unsigned>(entry);
    wsim_kernel::exp_t holds;
    if (_building_property) {
        if (fn == "$rose")
            holds = wsim_kernel::make_sampled_rose(uentry);
        else if (fn == "$fell")
            holds = wsim_kernel::make_sampled_fell(uentry);
        else if (fn == "$changed")
            holds = wsim_kernel::make_sampled_changed(uentry);
        else
            holds = wsim_kernel::make_sampled_stable(uentry);
    } else if (fn == "$rose") {
        holds = type == operand_t::BIT
                    ? wsim_kernel::exp_t([pos] { return kernel().access_bits(pos).posedge_occurred(); })
                    : wsim_kernel::exp_t([upos, type] {
                          return wsim_kernel::make_posedge_trig_exp(upos, type)().first;
                      });
    } else if (fn == "$fell") {
        holds = type == operand_t::BIT
                    ? wsim_kernel::exp_t([pos] { return kernel().access_bits(pos).negedge_occurred(); })
                    : wsim_kernel::exp_t([upos, type] {
                          return wsim_kernel::make_negedge_trig_exp(upos, type)().first;
                      });
    } else if (fn == "$changed") {
        holds = [entry] {
            const auto& e = kernel().stable_entries(entry);
            return e.initialized && e.prev_value != kernel().read_signal_val(e.sig_pos, e.sig_type);
        };
    } else {
        holds = [entry] {
            if (!kernel().stable_entries(entry).initialized)
                return true;
            return kernel().check_stable_strict(entry);
        };
    }
    return addPair(std::move(holds), t, f);
}

bool SimulatorBuilder::signalCondition(const Expression& e, int& t, int& f) {
    const std::string name = resolveOperandName(e);
    if (name.empty() || !isRegistered(name))
        return false;
    const auto pos = static_cast<unsigned>(signal_positions[name]);
    const operand_t type = getSignalType(name);
    t = kernel().add_exp(wsim_kernel::make_state(pos, type));
    f = kernel().add_exp(wsim_kernel::make_not_state(pos, type));
    return true;
}

bool SimulatorBuilder::unaryCondition(const UnaryExpression& unary, int stmt_line, int& t, int& f) {
    const Expression& operand = unary.operand().unwrapImplicitConversions();
    const UnaryOperator op = unary.op;
    const bool negation = op == UnaryOperator::LogicalNot || op == UnaryOperator::BitwiseNot;
    if (!isSignalReference(operand)) {
        // The negation of a condition is the same pair, swapped; a bitwise
        // negation only means that for one bit.
        if (!negation || (op == UnaryOperator::BitwiseNot && bitWidthOf(operand) != 1))
            return false;
        int inner_t = 0;
        int inner_f = 0;
        if (!buildConditionLambdas(&operand, stmt_line, inner_t, inner_f))
            return false;
        t = inner_f;
        f = inner_t;
        return true;
    }
    const std::string name = resolveOperandName(operand);
    if (name.empty() || !isRegistered(name))
        return false;
    const int pos = signal_positions[name];
    const operand_t type = getSignalType(name);
    const uint64_t all_ones = widthMask(getSignalWidth(name));
    auto snap = [pos, type] { return kernel().read_signal_val_snap(pos, type); };
    wsim_kernel::exp_t holds;
    switch (op) {
    case UnaryOperator::BitwiseAnd: holds = [snap, all_ones] { return snap() == all_ones; }; break;
    case UnaryOperator::BitwiseOr: holds = [snap] { return snap() != 0; }; break;
    case UnaryOperator::BitwiseNor: holds = [snap] { return snap() == 0; }; break;
    case UnaryOperator::LogicalNot:
        holds = [pos, type] { return kernel().read_signal_val(pos, type) == 0; };
        break;
    case UnaryOperator::BitwiseNot:
        holds = [pos, type, all_ones] {
            return (~kernel().read_signal_val(pos, type) & all_ones) != 0;
        };
        break;
    default: return false;
    }
    return addPair(std::move(holds), t, f);
}

bool SimulatorBuilder::binaryCondition(const BinaryExpression& bin, int stmt_line, int& t, int& f) {
    const BinaryOperator op = bin.op;
    const Expression& left = bin.left().unwrapImplicitConversions();
    const Expression& right = bin.right().unwrapImplicitConversions();
    const bool is_and = op == BinaryOperator::LogicalAnd || op == BinaryOperator::BinaryAnd;
    const bool is_or = op == BinaryOperator::LogicalOr || op == BinaryOperator::BinaryOr;
    if (is_and || is_or) {
        // `a & b` holds when some bit is set in both, which the truth of a and
        // of b does not tell for wider operands.
        if (op == BinaryOperator::BinaryAnd && (bitWidthOf(left) > 1 || bitWidthOf(right) > 1))
            return false;
        int lt = 0, lf = 0, rt = 0, rf = 0;
        if (!buildConditionLambdas(&left, stmt_line, lt, lf) ||
            !buildConditionLambdas(&right, stmt_line, rt, rf))
            return false;
        auto call = [](int i) { return kernel().exps(i)(); };
        if (is_and) {
            t = kernel().add_exp([=] { return call(lt) && call(rt); });
            f = kernel().add_exp([=] { return call(lf) || call(rf); });
        } else {
            t = kernel().add_exp([=] { return call(lt) || call(rt); });
            f = kernel().add_exp([=] { return call(lf) && call(rf); });
        }
        return true;
    }
    if (!isComparison(op))
        return false;
    if (left.kind == ExpressionKind::RangeSelect)
        return sliceComparison(op, left.as<RangeSelectExpression>(), right, t, f);
    if (!isSignalReference(left))
        return false;
    const std::string left_name = resolveOperandName(left);
    if (left_name.empty() || !isRegistered(left_name))
        return false;
    if (getSignalWidth(left_name) < 2)
        return scalarComparison(op, left_name, right, stmt_line, t, f);
    return vectorComparison(op, bin, left_name, stmt_line, t, f);
}

bool SimulatorBuilder::sliceComparison(BinaryOperator op, const RangeSelectExpression& select,
                                       const Expression& right, int& t, int& f) {
    if (!isSignalReference(select.value()))
        return false;
    const std::string base = resolveOperandName(select.value());
    if (base.empty() || !isRegistered(base))
        return false;
    const Symbol* base_sym = select.value().getSymbolReference();
    const int64_t hi =
        static_cast<int64_t>(evalConstant(select.left(), base_sym).value_or(6));
    const int64_t lo =
        static_cast<int64_t>(evalConstant(select.right(), base_sym).value_or(0));
    if (lo < 0 || hi < lo)
        return false;
    const int64_t range_width = hi - lo + 1;
    const uint64_t range_mask = range_width >= 64 ? ~uint64_t{0} : (uint64_t{1} << range_width) - 1;

    uint64_t constant = 0;
    if (auto v = literalValue(right)) {
        constant = *v;
    } else if (right.kind == ExpressionKind::IntegerLiteral) {
        constant = 0;
    } else if (isSignalReference(right) && isRegistered(resolveOperandName(right))) {
        const std::string rname = resolveOperandName(right);
        constant = kernel().read_signal_val(signal_positions[rname], getSignalType(rname));
    } else {
        return false;
    }
    const int pos = signal_positions[base];
    const operand_t type = getSignalType(base);
    const uint64_t shift = static_cast<uint64_t>(lo) & 63;
    return buildComparisonLambdas(
        op, t, f,
        [pos, type, shift, range_mask] {
            return (kernel().read_signal_val(pos, type) >> shift) & range_mask;
        },
        [constant] { return constant; });
}

bool SimulatorBuilder::scalarComparison(BinaryOperator op, const std::string& left_name,
                                        const Expression& right, int stmt_line, int& t, int& f) {
    int rpos = 0;
    operand_t rtype = operand_t::BIT;
    if (right.kind == ExpressionKind::IntegerLiteral) {
        const bool b = right.as<IntegerLiteral>().getValue().as<uint64_t>().value_or(0) != 0;
        rpos = addBitConstant(left_name + "_const_" + (b ? "1" : "0"), b, stmt_line);
    } else if (!registeredSignal(*this, right, rpos, rtype)) {
        return false;
    }
    const auto lpos = static_cast<unsigned>(signal_positions[left_name]);
    const operand_t ltype = getSignalType(left_name);
    const auto urpos = static_cast<unsigned>(rpos);
    switch (op) {
    case BinaryOperator::Equality:
    case BinaryOperator::CaseEquality:
        t = kernel().add_exp(wsim_kernel::make_eq_state(lpos, ltype, urpos, rtype));
        f = kernel().add_exp(wsim_kernel::make_not_eq_state(lpos, ltype, urpos, rtype));
        return true;
    case BinaryOperator::Inequality:
    case BinaryOperator::CaseInequality:
        t = kernel().add_exp(wsim_kernel::make_not_eq_state(lpos, ltype, urpos, rtype));
        f = kernel().add_exp(wsim_kernel::make_eq_state(lpos, ltype, urpos, rtype));
        return true;
    default:
        return buildComparisonLambdas(
            op, t, f, [lpos, ltype] { return kernel().read_signal_val(static_cast<int>(lpos), ltype); },
            [rpos, rtype] { return kernel().read_signal_val(rpos, rtype); });
    }
}

bool SimulatorBuilder::vectorComparison(BinaryOperator op, const BinaryExpression& bin,
                                        const std::string& left_name, int stmt_line, int& t,
                                        int& f) {
    const Expression& right = bin.right().unwrapImplicitConversions();
    // Both sides arrive converted to the type the comparison is made in:
    // signed only when both operands are, whether declared or cast so.
    if (isSignedType(bin.left()) && isSignedType(bin.right())) {
        ResolvedOperand l;
        ResolvedOperand r;
        if (!resolveOperandForCond(bin.left(), stmt_line, l))
            return false;
        if (resolveOperandForCond(right, stmt_line, r))
            return buildComparisonLambdas(
                op, t, f, [l] { return readVecSignalSigned(l.pos, l.otype, l.width); },
                [r] { return readVecSignalSigned(r.pos, r.otype, r.width); });
        if (right.kind != ExpressionKind::IntegerLiteral)
            return false;
        const auto k = static_cast<int64_t>(svintToUint64(right.as<IntegerLiteral>().getValue()));
        return buildComparisonLambdas(
            op, t, f, [l] { return readVecSignalSigned(l.pos, l.otype, l.width); },
            [k] { return k; });
    }

    const int lpos = signal_positions[left_name];
    const operand_t ltype = getSignalType(left_name);
    int rpos = 0;
    operand_t rtype = operand_t::LONG;
    if (right.kind == ExpressionKind::IntegerLiteral) {
        // The literal keeps its own value: an 8-bit x never equals 261.
        const uint64_t v =
            svintToUint64(right.as<IntegerLiteral>().getValue()) & widthMask(bitWidthOf(right));
        rpos = addLongConstant(left_name + "_cmp_k" + std::to_string(v), v, stmt_line);
    } else if (!registeredSignal(*this, right, rpos, rtype)) {
        return false;
    }
    return buildComparisonLambdas(op, t, f, [lpos, ltype] { return readVecSignal(lpos, ltype); },
                                  [rpos, rtype] { return readVecSignal(rpos, rtype); });
}
