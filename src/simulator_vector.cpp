// Procedural assignments to targets of two or more bits. The kernel only
// copies values, so a right-hand side that is not already a signal or a
// constant becomes a hidden 64-bit temporary kept up to date by a
// continuous driver; the statement copies the temporary into the target.
#include "simulator.h"

using namespace slang::ast;
using wsim_kernel::assign_t;
using wsim_kernel::assignment_t;
using wsim_kernel::process_t;
using wsim_kernel::sim_state;
using operand_t = wsim_kernel::operand_t;

namespace {

std::function<uint64_t()> reader(int pos, operand_t type) {
    return [pos, type] { return kernel().read_signal_val(pos, type); };
}

// The two bounds of a simple range select, evaluated as constants.
std::optional<std::pair<int, int>> constantBounds(const RangeSelectExpression& select) {
    if (select.getSelectionKind() != RangeSelectionKind::Simple)
        return std::nullopt;
    const Symbol* base = select.value().getSymbolReference();
    const auto left = SimulatorBuilder::evalConstant(select.left(), base);
    const auto right = SimulatorBuilder::evalConstant(select.right(), base);
    if (!left || !right)
        return std::nullopt;
    const int a = static_cast<int>(*left);
    const int b = static_cast<int>(*right);
    return std::make_pair(std::max(a, b), std::min(a, b));
}

} // namespace

wsim_kernel::exp_t SimulatorBuilder::vectorWriter(int pos, operand_t type,
                                                  std::function<uint64_t()> compute) {
    return [pos, type, compute] {
        auto& s = kernel();
        const uint64_t v = compute();
        switch (type) {
        case operand_t::BIT: {
            auto& cell = s.access_bits(pos);
            cell.update((v & 1) != 0, s.sim_time());
            return cell.changed();
        }
        case operand_t::BYTE: {
            auto& cell = s.access_bytes(pos);
            cell.update(static_cast<uint8_t>(v & 0xff), s.sim_time());
            return cell.changed();
        }
        default: {
            auto& cell = s.access_longs(pos);
            cell.update(v, s.sim_time());
            return cell.changed();
        }
        }
    };
}

int SimulatorBuilder::drivenTemporary(const std::string& name, int width, int line, int file_id,
                                      std::function<uint64_t()> compute) {
    bool created = false;
    const int pos = createLongTemporary(name, width, line, created);
    if (created)
        makeCAProcessWithExp(file_id, line, name, pos,
                             vectorWriter(pos, operand_t::LONG, std::move(compute)),
                             operand_t::LONG, operand_t::LONG, false);
    return pos;
}

bool SimulatorBuilder::signalOperand(const Expression& e, std::string& name, int& pos,
                                     operand_t& type, int& width) {
    if (!isSignalReference(e))
        return false;
    name = resolveOperandName(e);
    if (name.empty() || !isRegistered(name))
        return false;
    pos = signal_positions[name];
    type = getSignalType(name);
    width = getSignalWidth(name);
    return true;
}

bool SimulatorBuilder::emitVec(const VectorAssign& va, int rhs_pos, operand_t rhs_type) {
    const int ctx = addLineContext(va.file_id, va.actual_line);
    addProceduralStatement(*va.proc,
                           assignment_t(va.atype, static_cast<time_t>(va.delay), va.lhs_pos,
                                        rhs_pos, 0, ctx, va.trigger_idx, va.trig_ack_idx, va.cond,
                                        va.proc_line, va.lhs_otype, rhs_type));
    return true;
}

bool SimulatorBuilder::processVectorAssignment(const AssignmentExpression& assign,
                                               process_t& proc, const std::string& lhs_name,
                                               int width, int delay, int stmt_line, int proc_line,
                                               int trigger_idx, int trig_ack_idx, int cond,
                                               ProceduralBlockKind kind, time_t /*cursor_time*/) {
    if (!isRegistered(lhs_name))
        return false;
    VectorAssign va;
    va.proc = &proc;
    va.lhs_name = lhs_name;
    va.lhs_pos = signal_positions[lhs_name];
    va.lhs_otype = getSignalType(lhs_name);
    va.width = width;
    va.mask = widthMask(width);
    va.atype = kind == ProceduralBlockKind::AlwaysComb ? assign_t::COMBO
               : assign.isNonBlocking()                 ? assign_t::NBA
                                                        : assign_t::BA;
    va.delay = delay;
    va.stmt_line = stmt_line;
    va.proc_line = proc_line;
    va.trigger_idx = trigger_idx;
    va.trig_ack_idx = trig_ack_idx;
    va.cond = cond;
    va.kind = kind;
    va.file_id = get_file_id(assign.sourceRange.start());
    va.actual_line = getLineNumber(assign.sourceRange.start());
    return vectorAssignment(assign.right().unwrapImplicitConversions(), va);
}

bool SimulatorBuilder::vectorAssignment(const Expression& rhs, const VectorAssign& va) {
    const std::string& lhs = va.lhs_name;
    const std::string line = std::to_string(va.actual_line);
    std::string name;
    int pos = 0;
    operand_t type = operand_t::BIT;
    int width = 0;

    switch (rhs.kind) {
    case ExpressionKind::IntegerLiteral: {
        const uint64_t v = svintToUint64(rhs.as<IntegerLiteral>().getValue()) & va.mask;
        return emitVec(va, addLongConstant(lhs + "_longk_" + std::to_string(v), v, va.stmt_line),
                       operand_t::LONG);
    }
    case ExpressionKind::RangeSelect:
        return rangeSelectShape(rhs.as<RangeSelectExpression>(), va);
    case ExpressionKind::ElementSelect:
        return elementSelectShape(rhs.as<ElementSelectExpression>(), va);
    case ExpressionKind::Concatenation:
        return concatenationShape(rhs.as<ConcatenationExpression>(), va);
    case ExpressionKind::NamedValue:
    case ExpressionKind::HierarchicalValue:
    case ExpressionKind::LValueReference:
        if (!signalOperand(rhs, name, pos, type, width))
            return false;
        return emitVec(va, pos, type);
    case ExpressionKind::UnaryOp: {
        const auto& unary = rhs.as<UnaryExpression>();
        const Expression& operand = unary.operand().unwrapImplicitConversions();
        if (unary.op == UnaryOperator::Minus && operand.kind == ExpressionKind::IntegerLiteral) {
            const uint64_t v = operand.as<IntegerLiteral>().getValue().as<uint64_t>().value_or(0);
            const uint64_t n = (0 - v) & va.mask;
            return emitVec(va,
                           addLongConstant(lhs + "_negl_" + std::to_string(n), n, va.stmt_line),
                           operand_t::LONG);
        }
        if (unary.op != UnaryOperator::BitwiseNot ||
            !signalOperand(operand, name, pos, type, width))
            return false;
        const uint64_t mask = va.mask;
        auto read = reader(pos, type);
        const int temp = drivenTemporary(lhs + "_bitnot_ca_" + line, va.width, va.actual_line,
                                         va.file_id, [read, mask] { return ~read() & mask; });
        return emitVec(va, temp, operand_t::LONG);
    }
    case ExpressionKind::BinaryOp:
        return processVectorBinaryOp(rhs.as<BinaryExpression>(), va);
    case ExpressionKind::Replication:
        return replicationShape(rhs.as<ReplicationExpression>(), va);
    case ExpressionKind::Call:
        return processVectorCall(rhs.as<CallExpression>(), va);
    case ExpressionKind::ConditionalOp:
        return conditionalShape(rhs.as<ConditionalExpression>(), va);
    default:
        return false;
    }
}

bool SimulatorBuilder::rangeSelectShape(const RangeSelectExpression& select,
                                        const VectorAssign& va) {
    std::string base;
    int pos = 0;
    operand_t type = operand_t::BIT;
    int width = 0;
    if (!signalOperand(select.value(), base, pos, type, width))
        return false;
    const auto bounds = constantBounds(select);
    if (!bounds)
        return false;
    const auto [hi, lo] = *bounds;
    const uint64_t slice_mask = widthMask(hi - lo + 1) & va.mask;
    const int shift = lo & 63;
    auto read = reader(pos, type);
    const int temp = drivenTemporary(va.lhs_name + "_slice_" + base + "_" + std::to_string(hi) +
                                         "_" + std::to_string(lo),
                                     va.width, va.actual_line, va.file_id,
                                     [read, shift, slice_mask] {
                                         return (read() >> shift) & slice_mask;
                                     });
    return emitVec(va, temp, operand_t::LONG);
}

bool SimulatorBuilder::elementSelectShape(const ElementSelectExpression& select,
                                          const VectorAssign& va) {
    std::string src;
    int pos = 0;
    operand_t type = operand_t::BIT;
    int width = 0;
    if (!signalOperand(select.value(), src, pos, type, width))
        return false;
    auto read = reader(pos, type);
    const Expression& selector = select.selector().unwrapImplicitConversions();
    if (selector.kind == ExpressionKind::IntegerLiteral) {
        const uint64_t i = selector.as<IntegerLiteral>().getValue().as<uint64_t>().value_or(0);
        // One temporary per selected bit of one source signal.
        std::string temp_name = va.lhs_name + "_esel_b" + std::to_string(i);
        if (isRegistered(temp_name) && !created_assigns.count(temp_name + "_SRC_" + src))
            temp_name = va.lhs_name + "_esel_" + src + "_b" + std::to_string(i);
        created_assigns.insert(temp_name + "_SRC_" + src);
        bool created = false;
        const int temp = createLongTemporary(temp_name, 1, va.stmt_line, created);
        if (created)
            makeCAProcessWithExp(va.file_id, va.stmt_line, temp_name, temp,
                                 vectorWriter(temp, operand_t::LONG,
                                              [read, i] { return (read() >> (i & 63)) & 1; }),
                                 operand_t::LONG, operand_t::LONG, false);
        return emitVec(va, temp, operand_t::LONG);
    }
    std::string index_name;
    int index_pos = 0;
    operand_t index_type = operand_t::BIT;
    int index_width = 0;
    if (!signalOperand(selector, index_name, index_pos, index_type, index_width))
        return false;
    auto index = reader(index_pos, index_type);
    const int temp = drivenTemporary(va.lhs_name + "_esel_" + src + "_" + index_name, 1,
                                     va.actual_line, va.file_id, [read, index] {
                                         const uint64_t i = index();
                                         return i < 64 ? (read() >> i) & 1 : 0;
                                     });
    return emitVec(va, temp, operand_t::LONG);
}

bool SimulatorBuilder::concatenationShape(const ConcatenationExpression& concat,
                                          const VectorAssign& va) {
    const auto operands = concat.operands();
    if (operands.size() != 2)
        return false;
    const Expression& high = operands[0]->unwrapImplicitConversions();
    const Expression& low = operands[1]->unwrapImplicitConversions();
    const std::string line = std::to_string(va.actual_line);

    int low_pos = 0;
    operand_t low_type = operand_t::BIT;
    int low_width = 1;
    std::string name;
    if (low.kind == ExpressionKind::IntegerLiteral) {
        low_width = std::max(1, static_cast<int>(low.type->getBitWidth()));
        const uint64_t v =
            svintToUint64(low.as<IntegerLiteral>().getValue()) & widthMask(low_width);
        low_pos = addLongConstant(va.lhs_name + "_concat_low_k" + std::to_string(v) + "_" + line,
                                  v, va.actual_line);
        low_type = operand_t::LONG;
    } else if (!signalOperand(low, name, low_pos, low_type, low_width)) {
        return false;
    }

    int base_pos = 0;
    operand_t base_type = operand_t::BIT;
    int lo = 0;
    int slice_width = 0;
    if (high.kind == ExpressionKind::RangeSelect) {
        const auto& select = high.as<RangeSelectExpression>();
        int full = 0;
        if (!signalOperand(select.value(), name, base_pos, base_type, full))
            return false;
        int hi = full - 1;
        if (const auto bounds = constantBounds(select)) {
            hi = bounds->first;
            lo = bounds->second;
        } else {
            const Expression& left = select.left().unwrapImplicitConversions();
            if (auto v = literalValue(left))
                hi = static_cast<int>(*v);
            else if (left.kind == ExpressionKind::BinaryOp)
                hi = full - 2;
            lo = static_cast<int>(literalValue(select.right()).value_or(0));
        }
        slice_width = hi - lo + 1;
    } else if (!signalOperand(high, name, base_pos, base_type, slice_width)) {
        return false;
    }
    if (slice_width < 1)
        return false;

    const int result_width = std::max(1, low_width) + slice_width;
    const std::string temp_name = va.lhs_name + "_shifted_ca_" + line;
    bool created = false;
    const int temp = createLongTemporary(temp_name, result_width, va.actual_line, created);
    if (created_assigns.insert(temp_name + "_DRV_" + va.lhs_name).second) {
        auto base = reader(base_pos, base_type);
        auto low_read = reader(low_pos, low_type);
        const uint64_t slice_mask = widthMask(slice_width);
        const uint64_t low_mask = widthMask(low_width);
        const uint64_t result_mask = widthMask(result_width);
        const int shift = lo & 63;
        const int low_shift = low_width & 63;
        makeCAProcessWithExp(va.file_id, va.actual_line, temp_name, temp,
                             vectorWriter(temp, operand_t::LONG,
                                          [=] {
                                              return ((((base() >> shift) & slice_mask)
                                                       << low_shift) |
                                                      (low_read() & low_mask)) &
                                                     result_mask;
                                          }),
                             operand_t::LONG, operand_t::LONG, false);
    }
    return emitVec(va, temp, operand_t::LONG);
}

uint64_t SimulatorBuilder::replicate(uint64_t v, uint64_t count, int width) {
    uint64_t r = 0;
    for (uint64_t k = 0; k < count && k < 64; ++k)
        r |= v << ((k * static_cast<uint64_t>(width)) & 63);
    return r;
}

bool SimulatorBuilder::replicationShape(const ReplicationExpression& repl, const VectorAssign& va) {
    const auto count = literalValue(repl.count());
    if (!count)
        return false;
    const auto& concat = repl.concat().as<ConcatenationExpression>();
    if (concat.operands().size() != 1)
        return false;
    const Expression& operand = concat.operands()[0]->unwrapImplicitConversions();
    const int inner_width = std::max(1, static_cast<int>(operand.type->getBitWidth()));
    const uint64_t c = *count;

    if (operand.kind == ExpressionKind::IntegerLiteral) {
        const uint64_t b = operand.as<IntegerLiteral>().getValue().as<uint64_t>().value_or(0);
        const uint64_t r = replicate(b, c, inner_width) & va.mask;
        return emitVec(va, addLongConstant(va.lhs_name + "_repk_" + std::to_string(r), r,
                                           va.stmt_line),
                       operand_t::LONG);
    }
    std::string name;
    int pos = 0;
    operand_t type = operand_t::BIT;
    int width = 0;
    if (operand.kind != ExpressionKind::NamedValue &&
        operand.kind != ExpressionKind::LValueReference)
        return false;
    if (!signalOperand(operand, name, pos, type, width))
        return false;
    // The replication becomes a permanent driver of the target.
    const std::string line = std::to_string(va.actual_line);
    if (!created_assigns.insert(va.lhs_name + "_repl_sig_ca_" + line).second)
        return true;
    const uint64_t total = c * static_cast<uint64_t>(inner_width);
    const uint64_t result_mask = total >= 64 ? ~uint64_t{0} : widthMask(static_cast<int>(total));
    const uint64_t inner_mask = widthMask(inner_width);
    auto read = reader(pos, type);
    const int exp = kernel().add_exp(vectorWriter(va.lhs_pos, va.lhs_otype, [=] {
        return replicate(read() & inner_mask, c, inner_width) & result_mask;
    }));
    process_t proc(va.actual_line, va.lhs_name + "_repl_sig_drv", wsim_kernel::proc_t::ASSIGN);
    const int ctx = addLineContext(va.file_id, va.actual_line);
    proc.add_statement(assignment_t(assign_t::CA, 0, va.lhs_pos, 0, exp, ctx, 0, 0, 0,
                                    va.actual_line, va.lhs_otype, operand_t::LONG));
    proc.ith_statement(0)->set_instance_id(_current_scope_prefix);
    commitProcess(proc);
    return true;
}

bool SimulatorBuilder::conditionalShape(const ConditionalExpression& cond_expr,
                                        const VectorAssign& va) {
    const Expression& c = cond_expr.conditions[0].expr->unwrapImplicitConversions();
    const Expression& t = cond_expr.left().unwrapImplicitConversions();
    const Expression& f = cond_expr.right().unwrapImplicitConversions();
    std::string name;
    int cpos = 0, tpos = 0, fpos = 0, width = 0;
    operand_t ctype = operand_t::BIT, ttype = operand_t::BIT, ftype = operand_t::BIT;
    if (!signalOperand(c, name, cpos, ctype, width) || !signalOperand(t, name, tpos, ttype, width) ||
        !signalOperand(f, name, fpos, ftype, width))
        return false;
    const uint64_t mask = va.mask;
    const std::string line = std::to_string(va.actual_line);

    if (va.atype == assign_t::COMBO) {
        const int temp = drivenTemporary(
            va.lhs_name + "_ternary_ca_" + line, va.width, va.actual_line, va.file_id, [=] {
                auto& s = kernel();
                return (s.read_signal_val(cpos, ctype) != 0 ? s.read_signal_val(tpos, ttype)
                                                            : s.read_signal_val(fpos, ftype)) &
                       mask;
            });
        return emitVec(va, temp, operand_t::LONG);
    }
    // The statement selects when it runs and writes the target itself; a
    // non-blocking one reads the values from before the NBA region.
    const int exp = kernel().add_exp(vectorWriter(va.lhs_pos, va.lhs_otype, [=] {
        auto& s = kernel();
        return (s.read_signal_val_snap(cpos, ctype) != 0 ? s.read_signal_val_snap(tpos, ttype)
                                                         : s.read_signal_val_snap(fpos, ftype)) &
               mask;
    }));
    const int ctx = addLineContext(va.file_id, va.actual_line);
    addProceduralStatement(*va.proc,
                           assignment_t(va.atype, static_cast<time_t>(va.delay), va.lhs_pos, 0,
                                        exp, ctx, va.trigger_idx, va.trig_ack_idx, va.cond,
                                        va.proc_line, va.lhs_otype, operand_t::LONG));
    return true;
}
