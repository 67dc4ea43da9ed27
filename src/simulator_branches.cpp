// If and case statements. The model has no branches: every statement of an
// arm carries the arm's condition, joined with the conditions around it.
#include "kernel_utils.h"
#include "simulator.h"

#include <algorithm>

using namespace slang::ast;
using wsim_kernel::process_t;
using wsim_kernel::sim_state;
using operand_t = wsim_kernel::operand_t;

namespace {

// The inner condition under the outer one; 0 stands for "always".
int guarded(int outer, int inner) {
    if (outer != 0 && inner != 0)
        return kernel().add_exp(wsim_kernel::make_bool_and(static_cast<unsigned>(outer),
                                                           static_cast<unsigned>(inner)));
    return outer != 0 ? outer : inner;
}

int orOf(int a, int b) {
    if (a == 0)
        return b;
    return kernel().add_exp(wsim_kernel::make_bool_or(static_cast<unsigned>(a),
                                                      static_cast<unsigned>(b)));
}

// `holds` while `earlier` does not.
int unlessEarlier(int earlier, int holds) {
    if (earlier == 0)
        return holds;
    return kernel().add_exp(
        [earlier, holds] { return !kernel().exps(earlier)() && kernel().exps(holds)(); });
}

// The condition pair of an `if`; false for one that cannot be built, which
// is then left out whole (running both arms would be worse than neither).
bool ifCondition(SimulatorBuilder& b, const ConditionalStatement& stmt, int stmt_line, int& t,
                 int& f) {
    // Patterns and `&&&` chains have no closure form.
    if (stmt.conditions.size() != 1 || stmt.conditions[0].pattern)
        return false;
    return b.buildConditionLambdas(stmt.conditions[0].expr, stmt_line, t, f);
}

struct CaseSelector {
    std::string name;
    int pos = 0;
    operand_t type = operand_t::BIT;
    int width = 1;
    CaseStatementCondition kind = CaseStatementCondition::Normal;
};

bool isWildcardBit(slang::logic_t bit, CaseStatementCondition kind) {
    switch (kind) {
    case CaseStatementCondition::WildcardJustZ: return bit.value == slang::logic_t::z.value;
    case CaseStatementCondition::WildcardXOrZ:
    case CaseStatementCondition::Inside: return bit.isUnknown();
    default: return false;
    }
}

// The bits of a literal with x/z bits that a case item compares, and their
// values; nullopt when an unknown bit is no wildcard for this kind of case,
// so the item can never equal a two-state selector.
struct ItemPattern {
    uint64_t care = 0;
    uint64_t value = 0;
};

std::optional<ItemPattern> wildcardPattern(const slang::SVInt& literal,
                                           CaseStatementCondition kind, uint64_t width_mask) {
    const auto bits = static_cast<int32_t>(literal.getBitWidth());
    ItemPattern p;
    for (int32_t i = 0; i < 64; ++i) {
        // Narrower literals are extended as SystemVerilog extends operands.
        slang::logic_t bit(0);
        if (i < bits)
            bit = literal[i];
        else if (literal.isSigned())
            bit = literal[bits - 1];
        const uint64_t one = uint64_t{1} << i;
        if (bit.isUnknown()) {
            if (!isWildcardBit(bit, kind))
                return std::nullopt;
            continue;
        }
        p.care |= one;
        if (bit.value == 1)
            p.value |= one;
    }
    p.care &= width_mask;
    p.value &= p.care;
    return p;
}

// The closure telling whether one item matches; 0 when the item is left out.
int caseItemMatch(SimulatorBuilder& b, const CaseSelector& sel, const Expression& item,
                  int stmt_line) {
    const int spos = sel.pos;
    const operand_t stype = sel.type;
    if (item.kind == ExpressionKind::IntegerLiteral) {
        const slang::SVInt value = item.as<IntegerLiteral>().getValue();
        const uint64_t width_mask = SimulatorBuilder::widthMask(sel.width);
        if (value.hasUnknown()) {
            const auto pattern = wildcardPattern(value, sel.kind, width_mask);
            if (!pattern)
                return 0;
            const uint64_t care = pattern->care;
            const uint64_t want = pattern->value;
            return kernel().add_exp([spos, stype, care, want] {
                return (kernel().read_signal_val(spos, stype) & care) == want;
            });
        }
        if (sel.width > 1) {
            const uint64_t v = SimulatorBuilder::svintToUint64(value) & width_mask;
            const int k = b.addLongConstant(sel.name + "_case_longk_" + std::to_string(v), v,
                                            stmt_line);
            return kernel().add_exp([spos, stype, k] {
                return SimulatorBuilder::readVecSignal(spos, stype) ==
                       kernel().access_longs(k).state();
            });
        }
        const bool bit = SimulatorBuilder::svintToUint64(value) != 0;
        const int k = b.addBitConstant(sel.name + "_case_k" + (bit ? "1" : "0"), bit, stmt_line);
        return kernel().add_exp(wsim_kernel::make_eq_state(
            static_cast<unsigned>(spos), stype, static_cast<unsigned>(k), operand_t::BIT));
    }
    if (sel.width > 1 && SimulatorBuilder::isSignalReference(item)) {
        const std::string name = b.resolveOperandName(item);
        if (!b.isRegistered(name))
            return 0;
        const int ipos = b.signal_positions[name];
        const operand_t itype = b.getSignalType(name);
        return kernel().add_exp([spos, stype, ipos, itype] {
            return SimulatorBuilder::readVecSignal(spos, stype) ==
                   SimulatorBuilder::readVecSignal(ipos, itype);
        });
    }
    return 0;
}

// Any of the group's items matching; 0 when none could be built.
int caseGroupMatch(SimulatorBuilder& b, const CaseSelector& sel,
                   const CaseStatement::ItemGroup& group, int stmt_line) {
    int any = 0;
    for (const Expression* e : group.expressions) {
        if (!e)
            continue;
        if (const int match = caseItemMatch(b, sel, e->unwrapImplicitConversions(), stmt_line))
            any = orOf(any, match);
    }
    return any;
}

} // namespace

bool SimulatorBuilder::processConditional(const ConditionalStatement& condStmt, process_t& proc,
                                          ProceduralBlockKind kind, int delay, int stmt_line,
                                          int proc_line, int trigger_idx, int trig_ack_idx,
                                          int trigger_sig_pos, WEdgeKind trigger_edge,
                                          int outer_cond) {
    int t = 0;
    int f = 0;
    if (!ifCondition(*this, condStmt, stmt_line, t, f))
        return false;
    const int when_true = guarded(outer_cond, t);
    const int when_false = guarded(outer_cond, f);
    auto walk = [&](const Statement& arm, int cond) {
        return processStatementWithTrigger(arm, proc, kind, delay, proc_line, trigger_idx,
                                           trig_ack_idx, cond, trigger_sig_pos, trigger_edge);
    };
    bool added = walk(condStmt.ifTrue, when_true);
    if (const Statement* other = condStmt.ifFalse) {
        if (other->kind == StatementKind::Conditional)
            added |= processConditional(other->as<ConditionalStatement>(), proc, kind, delay,
                                        stmt_line, proc_line, trigger_idx, trig_ack_idx,
                                        trigger_sig_pos, trigger_edge, when_false);
        else
            added |= walk(*other, when_false);
    }
    return added;
}

bool SimulatorBuilder::processConditionalAbsolute(const ConditionalStatement& condStmt,
                                                  process_t& proc, ProceduralBlockKind kind,
                                                  time_t& cursor_time, int stmt_line,
                                                  int proc_line, int cond) {
    int t = 0;
    int f = 0;
    if (!ifCondition(*this, condStmt, stmt_line, t, f))
        return false;
    const int when_true = guarded(cond, t);
    const int when_false = guarded(cond, f);
    // Both arms start together; what follows the if waits for the longer one.
    time_t then_cursor = cursor_time;
    time_t else_cursor = cursor_time;
    processStatementWithAbsoluteTime(condStmt.ifTrue, proc, kind, then_cursor, proc_line, 0, 0,
                                     when_true);
    if (condStmt.ifFalse)
        processStatementWithAbsoluteTime(*condStmt.ifFalse, proc, kind, else_cursor, proc_line, 0,
                                         0, when_false);
    cursor_time = std::max(then_cursor, else_cursor);
    return true;
}

bool SimulatorBuilder::processCaseStatement(const CaseStatement& caseStmt, process_t& proc,
                                            ProceduralBlockKind kind, int delay, int stmt_line,
                                            int proc_line, int trigger_idx, int trig_ack_idx,
                                            int trigger_sig_pos, WEdgeKind trigger_edge,
                                            int cond) {
    const Expression& selector = caseStmt.expr.unwrapImplicitConversions();
    if (!isSignalReference(selector))
        return false;
    CaseSelector sel;
    sel.name = resolveOperandName(selector);
    if (sel.name.empty() || !isRegistered(sel.name))
        return false;
    sel.pos = signal_positions[sel.name];
    sel.type = getSignalType(sel.name);
    sel.width = getSignalWidth(sel.name);
    sel.kind = caseStmt.condition;

    auto walk = [&](const Statement& arm, int arm_cond) {
        return processStatementWithTrigger(arm, proc, kind, delay, proc_line, trigger_idx,
                                           trig_ack_idx, guarded(cond, arm_cond),
                                           trigger_sig_pos, trigger_edge);
    };
    // The first matching item wins, as in SystemVerilog: an arm also needs
    // every earlier item to miss.
    int earlier = 0;
    bool added = false;
    for (const auto& group : caseStmt.items) {
        const int match = caseGroupMatch(*this, sel, group, stmt_line);
        if (match == 0)
            continue;
        added |= walk(*group.stmt, unlessEarlier(earlier, match));
        earlier = orOf(earlier, match);
    }
    if (caseStmt.defaultCase) {
        int none = 0;
        if (earlier != 0)
            none = kernel().add_exp([earlier] { return !kernel().exps(earlier)(); });
        added |= walk(*caseStmt.defaultCase, none);
    }
    return added;
}
