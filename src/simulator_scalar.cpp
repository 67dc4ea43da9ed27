// Procedural assignments: a 1-bit target is modelled here, a wider one is
// handed to the vector translation.
#include "simulator.h"

using namespace slang::ast;
using wsim_kernel::assign_t;
using wsim_kernel::assignment_t;
using wsim_kernel::process_t;
using wsim_kernel::sim_state;
using operand_t = wsim_kernel::operand_t;

namespace {

using ScalarSource = SimulatorBuilder::ScalarSource;

ScalarSource fromBit(int pos, int op = 0) { return {true, pos, op}; }
ScalarSource fromExp(wsim_kernel::exp_t fn) {
    return {true, 0, sim_state::instance().add_exp(std::move(fn))};
}

int negationOp() {
    return sim_state::instance().add_op([](const wsim_kernel::bit& v) { return !v.state(); });
}

} // namespace

std::string SimulatorBuilder::assignmentTargetName(const Expression& left) {
    std::string lhs_name = extractSignalName(left);
    if (!isRegistered(lhs_name)) {
        if (const auto bracket = lhs_name.find('['); bracket != std::string::npos) {
            std::string parent = lhs_name.substr(0, bracket);
            if (!_current_scope_prefix.empty() && !isRegistered(parent))
                parent = _current_scope_prefix + "." + parent;
            if (isRegistered(parent))
                lhs_name = parent;
        }
    }
    if (!_current_scope_prefix.empty()) {
        const std::string scoped = _current_scope_prefix + "." + lhs_name;
        if (isRegistered(scoped))
            lhs_name = scoped;
    }
    return lhs_name;
}

bool SimulatorBuilder::processAssignment(const AssignmentExpression& assign, process_t& proc,
                                         int delay, int stmt_line, int proc_line, int trigger_idx,
                                         int trig_ack_idx, int cond, ProceduralBlockKind kind) {
    const bool stored_names_something = stored_sig_pos != 0 || !stored_event_list.empty();
    if (assign.timingControl) {
        delay += extractDelay(*assign.timingControl);
        storeTimingControl(*assign.timingControl);
        if (stored_sig_pos != 0 || !stored_event_list.empty())
            std::tie(trigger_idx, trig_ack_idx) = buildFreshTrigger();
    } else if (trigger_idx == 0 && stored_names_something) {
        std::tie(trigger_idx, trig_ack_idx) = buildFreshTrigger();
    }

    const std::string lhs_name = assignmentTargetName(assign.left());
    // `a += b` reads its own target where slang leaves a placeholder.
    ScopeGuard compound(_compound_target,
                        assign.isCompound() ? extractSignalName(assign.left()) : "");
    const int width = getSignalWidth(lhs_name);
    if (width > 1 && assign.left().unwrapImplicitConversions().kind == ExpressionKind::ElementSelect)
        return bitOfVectorAssignment(assign, proc, lhs_name, delay, stmt_line, proc_line,
                                     trigger_idx, trig_ack_idx, cond, kind);
    if (width > 1)
        return processVectorAssignment(assign, proc, lhs_name, width, delay, stmt_line, proc_line,
                                       trigger_idx, trig_ack_idx, cond, kind, 0);
    if (!isRegistered(lhs_name))
        return false;
    const int lhs_pos = signal_positions[lhs_name];
    const Expression& rhs = assign.right().unwrapImplicitConversions();
    const int file_id = get_file_id(assign.sourceRange.start());

    const ScalarSource source = scalarSource(rhs, lhs_name, stmt_line, file_id);
    if (!source.ok)
        return false;

    const int actual_line = getLineNumber(assign.sourceRange.start());
    const assign_t atype = kind == ProceduralBlockKind::AlwaysComb ? assign_t::COMBO
                           : assign.isNonBlocking()                 ? assign_t::NBA
                                                                    : assign_t::BA;
    const int ctx = addLineContext(file_id, actual_line);
    assignment_t& stored = addProceduralStatement(
        proc, assignment_t(atype, static_cast<time_t>(delay), lhs_pos, source.rhs_pos,
                           source.exp_idx, ctx, trigger_idx, trig_ack_idx, cond, proc_line,
                           operand_t::BIT, operand_t::BIT));
    stored.set_instance_id(_current_scope_prefix);
    return true;
}

bool SimulatorBuilder::bitOfVectorAssignment(const AssignmentExpression& assign, process_t& proc,
                                             const std::string& lhs_name, int delay,
                                             int stmt_line, int proc_line, int trigger_idx,
                                             int trig_ack_idx, int cond, ProceduralBlockKind kind) {
    const auto& select = assign.left().unwrapImplicitConversions().as<ElementSelectExpression>();
    const auto index = evalConstant(select.selector(), select.value().getSymbolReference());
    if (!index || *index >= 64 || !isRegistered(lhs_name))
        return false;
    const int file_id = get_file_id(assign.sourceRange.start());
    const ScalarSource source =
        scalarSource(assign.right().unwrapImplicitConversions(), lhs_name, stmt_line, file_id);
    if (!source.ok)
        return false;

    // Only the selected bit of the vector changes.
    const int target = signal_positions[lhs_name];
    const operand_t type = getSignalType(lhs_name);
    const uint64_t bit = uint64_t{1} << *index;
    const int rhs_pos = source.rhs_pos;
    const int exp_idx = source.exp_idx;
    const int write = sim_state::instance().add_exp(vectorWriter(target, type, [=] {
        auto& s = sim_state::instance();
        bool value = false;
        if (rhs_pos == 0)
            value = s.exps(exp_idx)();
        else if (exp_idx != 0)
            value = s.ops(exp_idx)(s.access_bits(rhs_pos));
        else
            value = s.read_signal_val_snap(rhs_pos, operand_t::BIT) != 0;
        const uint64_t old = s.read_signal_val(target, type);
        return value ? old | bit : old & ~bit;
    }));
    const assign_t atype = kind == ProceduralBlockKind::AlwaysComb ? assign_t::COMBO
                           : assign.isNonBlocking()                 ? assign_t::NBA
                                                                    : assign_t::BA;
    const int ctx = addLineContext(file_id, getLineNumber(assign.sourceRange.start()));
    assignment_t& stored = addProceduralStatement(
        proc, assignment_t(atype, static_cast<time_t>(delay), target, 0, write, ctx, trigger_idx,
                           trig_ack_idx, cond, proc_line, type, operand_t::LONG));
    stored.set_instance_id(_current_scope_prefix);
    return true;
}

SimulatorBuilder::ScalarSource SimulatorBuilder::scalarSource(const Expression& rhs,
                                                              const std::string& lhs_name,
                                                              int stmt_line, int file_id) {
    // A registered signal named by `e`, with its position and store.
    auto signal = [this](const Expression& e, int& pos, operand_t& type, int& width) {
        const std::string name = resolveOperandName(e);
        if (name.empty() || !isRegistered(name))
            return false;
        pos = signal_positions[name];
        type = getSignalType(name);
        width = getSignalWidth(name);
        return true;
    };
    int pos = 0;
    operand_t type = operand_t::BIT;
    int width = 1;

    switch (rhs.kind) {
    case ExpressionKind::UnaryOp: {
        const auto& unary = rhs.as<UnaryExpression>();
        const Expression& operand = unary.operand().unwrapImplicitConversions();
        const UnaryOperator op = unary.op;
        if (op == UnaryOperator::Minus && operand.kind == ExpressionKind::IntegerLiteral) {
            const uint64_t b =
                operand.as<IntegerLiteral>().getValue().as<uint64_t>().value_or(0) & 1;
            return fromBit(addBitConstant(lhs_name + "_const_" + std::to_string(b), b != 0,
                                          stmt_line));
        }
        const bool negation = op == UnaryOperator::BitwiseNot || op == UnaryOperator::LogicalNot;
        if (isSignalReference(operand)) {
            if (!signal(operand, pos, type, width))
                return {};
            if (negation) {
                if (type == operand_t::BIT)
                    return fromBit(pos, negationOp());
                if (op == UnaryOperator::LogicalNot)
                    return fromExp([pos, type] {
                        return sim_state::instance().read_signal_val(pos, type) == 0;
                    });
                return fromExp([pos, type] {
                    return (sim_state::instance().read_signal_val(pos, type) & 1) == 0;
                });
            }
            if (op == UnaryOperator::Plus || op == UnaryOperator::Minus)
                return fromExp(lsbReader(pos, type)); // -x has the same low bit as x
            if (auto reduction = buildReductionExp(op, pos, width, type))
                return fromExp(std::move(reduction));
            return {};
        }
        // A negated operation: place the operation's 1-bit value first. A
        // bitwise negation is only the same thing for a 1-bit operation.
        const bool one_bit = operand.type && operand.type->getBitWidth() == 1;
        if (!negation || (op == UnaryOperator::BitwiseNot && !one_bit))
            return {};
        const int placed = resolveScalarOperand(operand, file_id, stmt_line);
        return placed ? fromBit(placed, negationOp()) : ScalarSource{};
    }
    case ExpressionKind::NamedValue:
    case ExpressionKind::HierarchicalValue:
    case ExpressionKind::LValueReference:
        if (!signal(rhs, pos, type, width))
            return {};
        return type == operand_t::BIT ? fromBit(pos) : fromExp(lsbReader(pos, type));
    case ExpressionKind::IntegerLiteral: {
        const bool b = svintToUint64(rhs.as<IntegerLiteral>().getValue()) != 0;
        return fromBit(
            addBitConstant(lhs_name + "_const_" + std::to_string(b ? 1 : 0), b, stmt_line));
    }
    case ExpressionKind::ElementSelect: {
        const auto& select = rhs.as<ElementSelectExpression>();
        const Symbol* base_sym = select.value().getSymbolReference();
        const auto index = evalConstant(select.selector(), base_sym);
        if (!index || !isSignalReference(select.value()) ||
            !signal(select.value(), pos, type, width))
            return {};
        const uint64_t shift = *index & 63;
        return fromExp([pos, type, shift] {
            return ((sim_state::instance().read_signal_val(pos, type) >> shift) & 1) != 0;
        });
    }
    default:
        return {};
    }
}
