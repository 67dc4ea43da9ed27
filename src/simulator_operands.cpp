// Operands the kernel can read at run time: 1-bit values derived from
// negations, bit selects and nested conditions, comparison operands,
// reductions.
#include "simulator.h"

using namespace slang::ast;
using wsim_kernel::assign_t;
using wsim_kernel::assignment_t;
using wsim_kernel::process_t;
using wsim_kernel::sim_state;
using operand_t = wsim_kernel::operand_t;

namespace {

// A driver closure that keeps a derived bit equal to `value()`.
template <typename F>
wsim_kernel::exp_t bitWriter(int bit_pos, F value) {
    return [bit_pos, value] {
        auto& s = sim_state::instance();
        auto& cell = s.access_bits(bit_pos);
        cell.update(value(), s.sim_time());
        return cell.changed();
    };
}

} // namespace

operand_t SimulatorBuilder::scalarOperandType(const Expression& e) {
    if (!isSignalReference(e))
        return operand_t::BIT;
    return getSignalType(resolveOperandName(e));
}

int SimulatorBuilder::resolveScalarOperand(const Expression& expr, int file_id, int line) {
    const Expression& e = expr.unwrapImplicitConversions();
    switch (e.kind) {
    case ExpressionKind::UnaryOp: {
        const auto& unary = e.as<UnaryExpression>();
        const Expression& operand = unary.operand().unwrapImplicitConversions();
        const bool negation =
            unary.op == UnaryOperator::BitwiseNot || unary.op == UnaryOperator::LogicalNot;
        std::string name;
        int src = 0;
        operand_t type = operand_t::BIT;
        if (isSignalReference(operand)) {
            name = resolveOperandName(operand);
            if (name.empty() || !isRegistered(name))
                return 0;
            src = signal_positions[name];
            type = getSignalType(name);
        } else {
            // An operation under a negation is placed as a bit of its own
            // first; a bitwise negation only means the same for one bit.
            const bool one_bit = operand.type && operand.type->getBitWidth() == 1;
            if (!negation || (unary.op == UnaryOperator::BitwiseNot && !one_bit))
                return 0;
            src = resolveScalarOperand(operand, file_id, line);
            if (src == 0)
                return 0;
            name = sim_state::instance().access_bits(src).name();
        }
        return invertedOperand(unary.op, name, src, type, file_id, line);
    }
    case ExpressionKind::ElementSelect: {
        const auto& select = e.as<ElementSelectExpression>();
        const auto index = evalConstant(select.selector(), select.value().getSymbolReference());
        if (!index || static_cast<int64_t>(*index) < 0 || !isSignalReference(select.value()))
            return 0;
        const std::string base = resolveOperandName(select.value());
        if (base.empty() || !isRegistered(base))
            return 0;
        const int i = static_cast<int>(*index);
        const std::string bit_sig = base + "_bit" + std::to_string(i) + "_ca";
        bool created = false;
        const int pos = createBitTemporary(bit_sig, line, created);
        if (created) {
            const int base_pos = signal_positions[base];
            const operand_t base_type = getSignalType(base);
            makeCAProcessWithExp(file_id, line, bit_sig, pos,
                                 bitWriter(pos,
                                           [base_pos, base_type, i] {
                                               if (i >= 64)
                                                   return false;
                                               const uint64_t v = sim_state::instance()
                                                                      .read_signal_val(base_pos,
                                                                                       base_type);
                                               return ((v >> i) & 1) != 0;
                                           }),
                                 operand_t::BIT, operand_t::BIT, true);
        }
        return pos;
    }
    case ExpressionKind::BinaryOp: {
        int t = 0;
        int f = 0;
        if (!buildConditionLambdas(&e, line, t, f) || t == 0)
            return 0;
        const std::string sub_name = _current_scope_prefix + "_subexpr_" +
                                     std::to_string(reinterpret_cast<uintptr_t>(&e));
        bool created = false;
        const int pos = createBitTemporary(sub_name, line, created);
        if (created)
            makeCAProcessWithExp(file_id, line, sub_name, pos,
                                 bitWriter(pos, [t] { return sim_state::instance().exps(t)(); }),
                                 operand_t::BIT, operand_t::BIT, true);
        return pos;
    }
    default: {
        if (!isSignalReference(e))
            return 0;
        const std::string name = resolveOperandName(e);
        auto it = signal_positions.find(name);
        return it == signal_positions.end() ? 0 : it->second;
    }
    }
}

int SimulatorBuilder::invertedOperand(UnaryOperator op, const std::string& name, int src,
                                      operand_t type, int file_id, int line) {
    const bool negation = op == UnaryOperator::BitwiseNot || op == UnaryOperator::LogicalNot;
    const bool bit_negation = negation && type == operand_t::BIT;
    wsim_kernel::exp_t value;
    if (op == UnaryOperator::LogicalNot)
        value = [src, type] { return sim_state::instance().read_signal_val(src, type) == 0; };
    else if (op == UnaryOperator::BitwiseNot)
        value = [src, type] { return (sim_state::instance().read_signal_val(src, type) & 1) == 0; };
    else if (op == UnaryOperator::Plus || op == UnaryOperator::Minus)
        value = lsbReader(src, type); // -x has the same low bit as x
    else
        value = buildReductionExp(op, src, getSignalWidth(name), type);
    if (!value)
        return 0;

    // Negations of one bit share one derived signal; a wider signal's logical
    // negation, bitwise negation and reductions are different values.
    std::string derived = name + "_inv_ca";
    if (type != operand_t::BIT && op == UnaryOperator::LogicalNot)
        derived = name + "_lnot_ca";
    else if (!negation)
        derived = name + "_op" + std::to_string(static_cast<int>(op)) + "_ca";
    bool created = false;
    const int pos = createBitTemporary(derived, line, created);
    if (!created_assigns.insert(derived + "_DRV").second)
        return pos;

    if (bit_negation) {
        const int op_idx = sim_state::instance().add_op(
            [](const wsim_kernel::bit& v) { return !v.state(); });
        process_t proc(line, derived + "_drv", wsim_kernel::proc_t::ASSIGN);
        const int ctx = addLineContext(file_id, line);
        proc.add_statement(assignment_t(assign_t::CA, 0, pos, src, op_idx, ctx, 0, 0, 0, line,
                                        operand_t::BIT, operand_t::BIT));
        proc.ith_statement(0)->set_instance_id(_current_scope_prefix);
        commitProcess(proc);
    } else {
        makeCAProcessWithExp(file_id, line, derived, pos, std::move(value), operand_t::BIT,
                             operand_t::BIT, false);
    }
    return pos;
}

bool SimulatorBuilder::resolveOperandForCond(const Expression& expr, int /*stmt_line*/,
                                             ResolvedOperand& out) {
    const Expression* operand = &expr.unwrapImplicitConversions();
    bool is_signed = false;
    if (operand->kind == ExpressionKind::Call) {
        const auto& call = operand->as<CallExpression>();
        const auto name = call.getSubroutineName();
        if (call.isSystemCall() && (name == "$signed" || name == "$unsigned")) {
            if (call.arguments().empty())
                return false;
            operand = &call.arguments()[0]->unwrapImplicitConversions();
            is_signed = name == "$signed";
        }
    }
    if (!isSignalReference(*operand))
        return false;
    const std::string name = resolveOperandName(*operand);
    if (!isRegistered(name))
        return false;
    out = ResolvedOperand{signal_positions[name], getSignalType(name), getSignalWidth(name),
                          is_signed};
    return true;
}

std::function<bool()> SimulatorBuilder::buildReductionExp(UnaryOperator op, int src_pos,
                                                          int src_width, operand_t src_type) {
    const uint64_t all_ones = src_width >= 64 ? ~uint64_t{0} : (uint64_t{1} << src_width) - 1;
    auto read = [src_pos, src_type] {
        return sim_state::instance().read_signal_val(src_pos, src_type);
    };
    auto parity = [](uint64_t v) {
        for (int shift = 32; shift >= 1; shift /= 2)
            v ^= v >> shift;
        return (v & 1) != 0;
    };
    switch (op) {
    case UnaryOperator::BitwiseAnd: return [read, all_ones] { return read() == all_ones; };
    case UnaryOperator::BitwiseNand: return [read, all_ones] { return read() != all_ones; };
    case UnaryOperator::BitwiseOr: return [read] { return read() != 0; };
    case UnaryOperator::BitwiseNor: return [read] { return read() == 0; };
    case UnaryOperator::BitwiseXor: return [read, parity] { return parity(read()); };
    case UnaryOperator::BitwiseXnor: return [read, parity] { return !parity(read()); };
    default: return {};
    }
}
