// Continuous assignments and net initialisers become driver processes that
// the kernel settles whenever continuous assignments are re-evaluated. Every
// shape is keyed, so an assignment met twice is modelled once.
#include "simulator.h"

using namespace slang::ast;
using wsim_kernel::assign_t;
using wsim_kernel::assignment_t;
using wsim_kernel::process_t;
using wsim_kernel::sim_state;
using operand_t = wsim_kernel::operand_t;

namespace {

// A whole signal, by name, by hierarchical path or as a compound target.
bool namesWholeSignal(const Expression& e) {
    return e.kind == ExpressionKind::NamedValue || e.kind == ExpressionKind::HierarchicalValue ||
           e.kind == ExpressionKind::LValueReference;
}


bool isAndOr(BinaryOperator op) {
    return op == BinaryOperator::LogicalAnd || op == BinaryOperator::BinaryAnd ||
           op == BinaryOperator::LogicalOr || op == BinaryOperator::BinaryOr;
}

bool isReduction(UnaryOperator op) {
    switch (op) {
    case UnaryOperator::BitwiseAnd:
    case UnaryOperator::BitwiseOr:
    case UnaryOperator::BitwiseXor:
    case UnaryOperator::BitwiseNand:
    case UnaryOperator::BitwiseNor:
    case UnaryOperator::BitwiseXnor: return true;
    default: return false;
    }
}

// One part of a concatenation: bits hi..lo of a signal.
struct PartInfo {
    int pos = 0;
    int hi = 0;
    int lo = 0;
    operand_t otype = operand_t::BIT;
    int width = 0;
};

} // namespace

void SimulatorBuilder::makeNamedCAProcess(const std::string& process_name, int file_id, int line,
                                          int target_pos, int rhs_pos, int exp_pos,
                                          operand_t ltype, operand_t rtype) {
    process_t proc(line, process_name, wsim_kernel::proc_t::ASSIGN);
    const int ctx = addLineContext(file_id, line);
    proc.add_statement(assignment_t(assign_t::CA, 0, target_pos, rhs_pos, exp_pos, ctx, 0, 0, 0,
                                    line, ltype, rtype));
    proc.ith_statement(0)->set_instance_id(_current_scope_prefix);
    commitProcess(proc);
}

void SimulatorBuilder::processContinuousAssignExpr(const AssignmentExpression& assign, int line) {
    const int file_id = get_file_id(assign.sourceRange.start());
    std::string lhs_name = extractSignalName(assign.left());
    if (!_current_scope_prefix.empty() && isRegistered(_current_scope_prefix + "." + lhs_name))
        lhs_name = _current_scope_prefix + "." + lhs_name;
    if (lhs_name.empty() || !isRegistered(lhs_name))
        return;
    const Expression& rhs = assign.right().unwrapImplicitConversions();
    if (getSignalWidth(lhs_name) >= 2)
        continuousVector(lhs_name, rhs, line, file_id, &assign);
    else
        continuousScalar(lhs_name, rhs, line, file_id, false);
}

void SimulatorBuilder::handleNetCA(const std::string& lhs_name, int /*lhs_pos*/, int line_num,
                                   const Expression& rhs) {
    const int file_id = get_file_id(rhs.sourceRange.start());
    // A wider net is driven like the same `assign` (and shares its keys).
    if (getSignalWidth(lhs_name) >= 2)
        continuousVector(lhs_name, rhs, line_num, file_id, nullptr);
    else
        continuousScalar(lhs_name, rhs, line_num, file_id, true);
}

void SimulatorBuilder::continuousVector(const std::string& lhs, const Expression& rhs, int line,
                                        int file_id, const AssignmentExpression* assign) {
    const int lhs_pos = signal_positions[lhs];
    const int width = getSignalWidth(lhs);
    const operand_t lhs_otype = getSignalType(lhs);
    const uint64_t mask = widthMask(width);
    const std::string line_text = std::to_string(line);
    auto claim = [this](const std::string& key) { return created_assigns.insert(key).second; };
    std::string src;
    int pos = 0;
    operand_t type = operand_t::BIT;
    int src_width = 0;

    if (namesWholeSignal(rhs)) {
        if (!signalOperand(rhs, src, pos, type, src_width) || !claim(lhs + "_CA_VEC_" + src))
            return;
        makeNamedCAProcess(lhs + "_ca_vec", file_id, line, lhs_pos, pos, 0, lhs_otype, type);
        return;
    }
    if (rhs.kind == ExpressionKind::IntegerLiteral) {
        const uint64_t v = svintToUint64(rhs.as<IntegerLiteral>().getValue()) & mask;
        const std::string value = std::to_string(v);
        if (!claim(lhs + "_CA_LONGCONST_" + value))
            return;
        const int k = addLongConstant(lhs + "_ca_longk_" + value, v, line);
        makeNamedCAProcess(lhs + "_ca_longconst", file_id, line, lhs_pos, k, 0, lhs_otype,
                           operand_t::LONG);
        return;
    }
    if (rhs.kind == ExpressionKind::Replication) {
        const auto& repl = rhs.as<ReplicationExpression>();
        const auto count = literalValue(repl.count());
        const auto operands = repl.concat().as<ConcatenationExpression>().operands();
        if (count && operands.size() == 1) {
            const Expression& operand = operands[0]->unwrapImplicitConversions();
            const int inner_width = std::max(1, static_cast<int>(operand.type->getBitWidth()));
            if (operand.kind == ExpressionKind::IntegerLiteral) {
                const uint64_t b =
                    operand.as<IntegerLiteral>().getValue().as<uint64_t>().value_or(0);
                const uint64_t r = replicate(b, *count, inner_width) & mask;
                const std::string value = std::to_string(r);
                if (!claim(lhs + "_CA_REPLCONST_" + value))
                    return;
                const int k = addLongConstant(lhs + "_repconst_" + value, r, line);
                makeNamedCAProcess(lhs + "_ca_replconst", file_id, line, lhs_pos, k, 0, lhs_otype,
                                   operand_t::LONG);
                return;
            }
            if (operand.kind == ExpressionKind::NamedValue ||
                operand.kind == ExpressionKind::LValueReference) {
                if (!signalOperand(operand, src, pos, type, src_width) ||
                    !claim(lhs + "_CA_REPL_" + src + "_" + line_text))
                    return;
                const uint64_t c = *count;
                const uint64_t inner_mask = widthMask(inner_width);
                const int exp = kernel().add_exp(vectorWriter(lhs_pos, lhs_otype, [=] {
                    const uint64_t v = kernel().read_signal_val(pos, type) & inner_mask;
                    return replicate(v, c, inner_width) & mask;
                }));
                makeNamedCAProcess(lhs + "_ca_repl", file_id, line, lhs_pos, 0, exp, lhs_otype,
                                   operand_t::LONG);
                return;
            }
        }
    }
    if (rhs.kind == ExpressionKind::Concatenation &&
        concatenationDriver(lhs, rhs.as<ConcatenationExpression>(), line, file_id))
        return;

    // General form: the procedural shapes, as one combinational process.
    if (!claim(lhs + "_CA_VEC_" + line_text))
        return;
    process_t proc(line, lhs + "_ca_vec", wsim_kernel::proc_t::ASSIGN);
    VectorAssign va;
    va.proc = &proc;
    va.lhs_name = lhs;
    va.lhs_pos = lhs_pos;
    va.lhs_otype = lhs_otype;
    va.width = width;
    va.mask = mask;
    va.atype = assign_t::COMBO;
    va.stmt_line = line;
    va.proc_line = line;
    va.kind = ProceduralBlockKind::AlwaysComb;
    va.file_id = assign ? get_file_id(assign->sourceRange.start()) : file_id;
    va.actual_line = assign ? getLineNumber(assign->sourceRange.start()) : line;
    if (!vectorAssignment(rhs, va))
        return;
    for (int i = 0; i < proc.number_of_statements(); ++i)
        proc.ith_statement(i)->set_instance_id(_current_scope_prefix);
    commitProcess(proc);
}

bool SimulatorBuilder::concatenationDriver(const std::string& lhs,
                                           const ConcatenationExpression& concat, int line,
                                           int file_id) {
    std::vector<PartInfo> parts;
    for (const Expression* op : concat.operands()) {
        const Expression& e = op->unwrapImplicitConversions();
        PartInfo part;
        std::string name;
        if (e.kind == ExpressionKind::NamedValue || e.kind == ExpressionKind::LValueReference) {
            if (!signalOperand(e, name, part.pos, part.otype, part.width))
                return false;
            part.hi = part.width - 1;
            part.lo = 0;
        } else if (e.kind == ExpressionKind::RangeSelect &&
                   e.as<RangeSelectExpression>().getSelectionKind() == RangeSelectionKind::Simple) {
            const auto& select = e.as<RangeSelectExpression>();
            int full = 0;
            if (!signalOperand(select.value(), name, part.pos, part.otype, full))
                return false;
            part.width = static_cast<int>(e.type->getBitWidth());
            const Symbol* base = select.value().getSymbolReference();
            const int left = static_cast<int>(evalConstant(select.left(), base).value_or(0));
            const int right = static_cast<int>(evalConstant(select.right(), base).value_or(0));
            part.lo = std::min(left, right);
            part.hi = part.lo + part.width - 1;
        } else {
            return false;
        }
        parts.push_back(part);
    }
    if (!created_assigns.insert(lhs + "_CA_CONCAT_" + std::to_string(line)).second)
        return true;
    const int lhs_pos = signal_positions[lhs];
    const operand_t lhs_otype = getSignalType(lhs);
    const int width = getSignalWidth(lhs);
    const int exp = kernel().add_exp(vectorWriter(lhs_pos, lhs_otype, [parts, width] {
        int shift = width;
        uint64_t result = 0;
        for (const PartInfo& part : parts) {
            const int pw = part.hi - part.lo + 1;
            shift -= pw;
            const uint64_t v = (kernel().read_signal_val(part.pos, part.otype) >> (part.lo & 63)) &
                               widthMask(pw);
            if (shift >= 0)
                result |= v << (shift & 63);
            else
                result |= v >> ((-shift) & 63);
        }
        return result & widthMask(width);
    }));
    makeNamedCAProcess(lhs + "_ca_concat", file_id, line, lhs_pos, 0, exp, lhs_otype,
                       operand_t::LONG);
    return true;
}

void SimulatorBuilder::continuousScalar(const std::string& lhs, const Expression& rhs, int line,
                                        int file_id, bool net_initialiser) {
    const int lhs_pos = signal_positions[lhs];
    auto claim = [this](const std::string& key) { return created_assigns.insert(key).second; };
    std::string src;
    int pos = 0;
    operand_t type = operand_t::BIT;
    int width = 0;

    if (rhs.kind == ExpressionKind::UnaryOp) {
        const auto& unary = rhs.as<UnaryExpression>();
        const Expression& operand = unary.operand().unwrapImplicitConversions();
        const bool negation =
            unary.op == UnaryOperator::BitwiseNot || unary.op == UnaryOperator::LogicalNot;
        if (negation) {
            if (signalOperand(operand, src, pos, type, width)) {
                if (!claim(lhs + "_CA_NOT_" + src))
                    return;
                if (type == operand_t::BIT) {
                    const int op = kernel().add_op(
                        [](const wsim_kernel::bit& v) { return !v.state(); });
                    makeNamedCAProcess(lhs + "_ca_not", file_id, line, lhs_pos, pos, op,
                                       operand_t::BIT, operand_t::BIT);
                } else {
                    // A wider operand: its low bit inverted, or its being zero.
                    const bool logical = unary.op == UnaryOperator::LogicalNot;
                    const int exp = kernel().add_exp([pos, type, logical] {
                        const uint64_t v = kernel().read_signal_val(pos, type);
                        return logical ? v == 0 : (v & 1) == 0;
                    });
                    makeNamedCAProcess(lhs + "_ca_not", file_id, line, lhs_pos, 0, exp,
                                       operand_t::BIT, operand_t::BIT);
                }
                return;
            }
            // The negation of an operation: its 1-bit value placed first.
            const bool one_bit = operand.type && operand.type->getBitWidth() == 1;
            if (unary.op == UnaryOperator::BitwiseNot && !one_bit)
                return;
            const int placed = resolveScalarOperand(operand, file_id, line);
            if (placed == 0 ||
                !claim(lhs + "_CA_NOT_" + kernel().access_bits(placed).name()))
                return;
            const int op =
                kernel().add_op([](const wsim_kernel::bit& v) { return !v.state(); });
            makeNamedCAProcess(lhs + "_ca_not", file_id, line, lhs_pos, placed, op,
                               operand_t::BIT, operand_t::BIT);
            return;
        }
        if (!isReduction(unary.op) || !signalOperand(operand, src, pos, type, width))
            return;
        if (!claim(lhs + "_CA_RED_" + std::to_string(static_cast<int>(unary.op)) + "_" + src))
            return;
        if (auto red = buildReductionExp(unary.op, pos, width, type))
            makeCAProcessWithExp(file_id, line, lhs + "_ca_red", lhs_pos, std::move(red),
                                 operand_t::BIT, operand_t::BIT, false);
        return;
    }
    if (namesWholeSignal(rhs)) {
        if (!signalOperand(rhs, src, pos, type, width) || !claim(lhs + "_CA_" + src))
            return;
        if (type == operand_t::BIT) {
            makeNamedCAProcess(lhs + "_ca", file_id, line, lhs_pos, pos, 0, getSignalType(lhs),
                               type);
        } else {
            // A 1-bit signal driven from a wider one takes its low bit.
            const int exp = kernel().add_exp(lsbReader(pos, type));
            makeNamedCAProcess(lhs + "_ca", file_id, line, lhs_pos, 0, exp, operand_t::BIT,
                               operand_t::BIT);
        }
        return;
    }
    if (rhs.kind == ExpressionKind::BinaryOp && isAndOr(rhs.as<BinaryExpression>().op)) {
        const auto& bin = rhs.as<BinaryExpression>();
        const int l = resolveScalarOperand(bin.left(), file_id, line);
        const int r = resolveScalarOperand(bin.right(), file_id, line);
        if (l == 0 || r == 0 ||
            !claim(lhs + "_CA_SCALARBIN_" + std::to_string(l) + "_" + std::to_string(r)))
            return;
        const operand_t ltype = scalarOperandType(bin.left());
        const operand_t rtype = scalarOperandType(bin.right());
        // `&&`/`||` test their operands' truth; `&`/`|` combine low bits.
        const bool logical =
            bin.op == BinaryOperator::LogicalAnd || bin.op == BinaryOperator::LogicalOr;
        const bool is_and =
            bin.op == BinaryOperator::LogicalAnd || bin.op == BinaryOperator::BinaryAnd;
        auto bit_of = [logical](int p, operand_t t) {
            const uint64_t v = kernel().read_signal_val(p, t);
            return logical ? v != 0 : (v & 1) != 0;
        };
        wsim_kernel::exp_t bin_exp;
        if (is_and)
            bin_exp = [=] { return bit_of(l, ltype) && bit_of(r, rtype); };
        else
            bin_exp = [=] { return bit_of(l, ltype) || bit_of(r, rtype); };
        makeCAProcessWithExp(file_id, line, lhs + (net_initialiser ? "_ca_net_bin" : "_ca_scalar_bin"),
                             lhs_pos, std::move(bin_exp), operand_t::BIT, operand_t::BIT, false);
        return;
    }
    if (net_initialiser)
        return;
    if (rhs.kind == ExpressionKind::IntegerLiteral) {
        const bool b = svintToUint64(rhs.as<IntegerLiteral>().getValue()) != 0;
        const std::string digit = b ? "1" : "0";
        if (!claim(lhs + "_CA_CONST_" + digit))
            return;
        const int k = addBitConstant(lhs + "_ca_const_" + digit, b, line);
        makeNamedCAProcess(lhs + "_ca_const", file_id, line, lhs_pos, k, 0, operand_t::BIT,
                           operand_t::BIT);
        return;
    }
    if (rhs.kind == ExpressionKind::BinaryOp) {
        if (!claim(lhs + "_CA_CMP_" + std::to_string(line)))
            return;
        int t = 0;
        int f = 0;
        if (!buildConditionLambdas(&rhs, line, t, f) || t == 0)
            return;
        makeCAProcessWithExp(file_id, line, lhs + "_ca_cmp", lhs_pos,
                             [t] { return kernel().exps(t)(); }, operand_t::BIT, operand_t::BIT,
                             false);
    }
}
