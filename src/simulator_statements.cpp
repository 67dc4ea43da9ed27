// Procedural statement walkers: a block's statements become one flat list of
// kernel statements, each carrying the delay, trigger and condition that
// guard it (always blocks) or the absolute time it runs at (initial blocks).
#include "simulator.h"

#include <memory>

using namespace slang::ast;
using wsim_kernel::process_t;
using wsim_kernel::sim_state;
using operand_t = wsim_kernel::operand_t;

namespace {

const CallExpression* callOf(const Statement& s) {
    if (s.kind != StatementKind::ExpressionStatement)
        return nullptr;
    const Expression& e = s.as<ExpressionStatement>().expr;
    return e.kind == ExpressionKind::Call ? &e.as<CallExpression>() : nullptr;
}

const AssignmentExpression* assignmentOf(const Statement& s) {
    if (s.kind != StatementKind::ExpressionStatement)
        return nullptr;
    const Expression& e = s.as<ExpressionStatement>().expr;
    return e.kind == ExpressionKind::Assignment ? &e.as<AssignmentExpression>() : nullptr;
}

// fork ... join blocks are blocks too; their branches are not modelled.
bool isSequential(const Statement& block) {
    return block.as<BlockStatement>().blockKind == StatementBlockKind::Sequential;
}

bool isDisplay(std::string_view name) { return name == "$display" || name == "$write"; }

bool isBareWait(const Statement& s, bool event) {
    if (s.kind != StatementKind::Timed)
        return false;
    const auto& timed = s.as<TimedStatement>();
    if (timed.stmt.kind != StatementKind::Empty)
        return false;
    const TimingControlKind k = timed.timing.kind;
    return event ? (k == TimingControlKind::SignalEvent || k == TimingControlKind::EventList)
                 : k == TimingControlKind::Delay;
}

} // namespace

bool SimulatorBuilder::processStatement(const Statement& stmt, process_t& proc,
                                        ProceduralBlockKind kind, int proc_line) {
    return processStatementWithTrigger(stmt, proc, kind, 0, proc_line, 0, 0, 0, 0,
                                       WEdgeKind::None);
}

bool SimulatorBuilder::processStatementWithTrigger(const Statement& stmt, process_t& proc,
                                                   ProceduralBlockKind kind, int delay,
                                                   int proc_line, int trigger_idx,
                                                   int trig_ack_idx, int cond,
                                                   int trigger_sig_pos, WEdgeKind trigger_edge) {
    const int stmt_line = getLineNumber(stmt.sourceRange.start());
    switch (stmt.kind) {
    case StatementKind::List: {
        bool added = false;
        for (const Statement* item : stmt.as<StatementList>().list)
            added |= processStatementWithTrigger(*item, proc, kind, delay, proc_line, trigger_idx,
                                                 trig_ack_idx, cond, trigger_sig_pos,
                                                 trigger_edge);
        return added;
    }
    case StatementKind::Block:
        if (!isSequential(stmt))
            return false;
        return processStatementWithTrigger(stmt.as<BlockStatement>().body, proc, kind, delay,
                                           proc_line, trigger_idx, trig_ack_idx, cond,
                                           trigger_sig_pos, trigger_edge);
    case StatementKind::ExpressionStatement: {
        if (const auto* assign = assignmentOf(stmt))
            return processAssignment(*assign, proc, delay, stmt_line, proc_line, trigger_idx,
                                     trig_ack_idx, cond, kind);
        const CallExpression* call = callOf(stmt);
        if (!call)
            return false;
        const std::string_view name = call->getSubroutineName();
        if (name == "$finish")
            return handleFinish(delay, proc, get_file_id(call->sourceRange.start()), stmt_line,
                                proc_line, cond, trigger_idx, trig_ack_idx);
        if (isDisplay(name))
            return handleDisplay(*call, delay, proc, stmt_line, proc_line, cond, trigger_idx,
                                 trig_ack_idx);
        if (name == "$monitor")
            return handleMonitor(*call, delay, proc, stmt_line, proc_line, cond, trigger_idx,
                                 trig_ack_idx);
        if (auto task = _task_defs.find(std::string(name));
            !call->isSystemCall() && task != _task_defs.end())
            return inlineTaskCall(*call, task->second, proc, kind, delay, stmt_line, proc_line,
                                  trigger_idx, trig_ack_idx, cond);
        return false;
    }
    case StatementKind::Conditional:
        return processConditional(stmt.as<ConditionalStatement>(), proc, kind, delay, stmt_line,
                                  proc_line, trigger_idx, trig_ack_idx, trigger_sig_pos,
                                  trigger_edge, cond);
    case StatementKind::Case:
        return processCaseStatement(stmt.as<CaseStatement>(), proc, kind, delay, stmt_line,
                                    proc_line, trigger_idx, trig_ack_idx, trigger_sig_pos,
                                    trigger_edge, cond);
    case StatementKind::Timed: {
        const auto& timed = stmt.as<TimedStatement>();
        const int d = extractDelay(timed.timing);
        storeTimingControl(timed.timing);
        if (timed.timing.kind != TimingControlKind::EventList) {
            const auto [ti, ta] = buildFreshTrigger();
            return processStatementWithTrigger(timed.stmt, proc, kind, delay + d, proc_line, ti,
                                               ta, cond, stored_sig_pos, stored_edge);
        }
        // One copy of the guarded statements per listed signal.
        bool added = false;
        for (const TriggerEvent& event : extractEventList(timed.timing)) {
            const auto [ti, ta] = buildTrigger(event.pos, event.edge, event.type);
            added |= processStatementWithTrigger(timed.stmt, proc, kind, delay, proc_line, ti, ta,
                                                 cond, event.pos, event.edge);
        }
        return added;
    }
    case StatementKind::ConcurrentAssertion:
        return processAssertProperty(stmt.as<ConcurrentAssertionStatement>(), proc, kind, delay,
                                     stmt_line, proc_line, trigger_idx, trig_ack_idx,
                                     trigger_sig_pos, trigger_edge, "");
    default:
        return false;
    }
}

bool SimulatorBuilder::processStatementWithAbsoluteTime(const Statement& stmt, process_t& proc,
                                                        ProceduralBlockKind kind,
                                                        time_t& cursor_time, int proc_line,
                                                        int trigger_idx, int trig_ack_idx,
                                                        int cond) {
    const int stmt_line = getLineNumber(stmt.sourceRange.start());
    switch (stmt.kind) {
    case StatementKind::Block:
        if (!isSequential(stmt))
            return false;
        return processStatementWithAbsoluteTime(stmt.as<BlockStatement>().body, proc, kind,
                                                cursor_time, proc_line, trigger_idx, trig_ack_idx,
                                                cond);
    case StatementKind::Timed: {
        const auto& timed = stmt.as<TimedStatement>();
        cursor_time += static_cast<time_t>(extractDelay(timed.timing));
        return processStatementWithAbsoluteTime(timed.stmt, proc, kind, cursor_time, proc_line,
                                                trigger_idx, trig_ack_idx, cond);
    }
    case StatementKind::ExpressionStatement: {
        if (const auto* assign = assignmentOf(stmt))
            return processAssignmentAbsolute(*assign, proc, cursor_time, stmt_line, proc_line,
                                             cond, kind);
        const CallExpression* call = callOf(stmt);
        if (!call)
            return false;
        const std::string_view name = call->getSubroutineName();
        if (name == "$finish")
            return handleFinishAbsolute(cursor_time, proc, get_file_id(call->sourceRange.start()),
                                        stmt_line, proc_line, cond);
        if (isDisplay(name))
            return handleDisplayAbsolute(*call, cursor_time, proc, stmt_line, proc_line, cond);
        if (name == "$monitor")
            return handleMonitorAbsolute(*call, cursor_time, proc, stmt_line, proc_line, cond);
        if (auto task = _task_defs.find(std::string(name));
            !call->isSystemCall() && task != _task_defs.end())
            return inlineTaskCallAbsolute(*call, task->second, proc, kind, cursor_time, stmt_line,
                                          proc_line, cond);
        return false;
    }
    case StatementKind::Conditional:
        return processConditionalAbsolute(stmt.as<ConditionalStatement>(), proc, kind,
                                          cursor_time, stmt_line, proc_line, cond);
    case StatementKind::List:
        break;
    default:
        return false;
    }

    // A list keeps its own local time, starting where the list is reached; a
    // bare event wait makes the next assignment, display, finish or if wait
    // for that event instead of a time.
    time_t lt = cursor_time;
    std::pair<int, int> pending{0, 0};
    std::pair<int, int> saved{0, 0};
    int pd = 0;
    bool event_seen = false;
    bool added = false;
    auto walk_at_local_time = [&](const Statement& s) {
        cursor_time = lt;
        added |= processStatementWithAbsoluteTime(s, proc, kind, cursor_time, proc_line,
                                                  trigger_idx, trig_ack_idx, cond);
        lt = cursor_time;
    };
    for (const Statement* item : stmt.as<StatementList>().list) {
        const Statement& s = *item;
        const int line = getLineNumber(s.sourceRange.start());
        if (isBareWait(s, true)) {
            storeTimingControl(s.as<TimedStatement>().timing);
            pending = buildFreshTrigger();
            pd = 0;
            event_seen = true;
            continue;
        }
        if (isBareWait(s, false)) {
            const int d = extractDelay(s.as<TimedStatement>().timing);
            if (pending.first != 0) {
                pd += d;
            } else if (event_seen) {
                pd += d;
                pending = saved;
            } else {
                lt += static_cast<time_t>(d);
            }
            continue;
        }
        if (s.kind == StatementKind::Timed &&
            s.as<TimedStatement>().timing.kind == TimingControlKind::Delay) {
            // A delay in front of a statement moves the list's time on, just
            // like a bare delay.
            lt += static_cast<time_t>(extractDelay(s.as<TimedStatement>().timing));
            walk_at_local_time(s.as<TimedStatement>().stmt);
            continue;
        }
        if (pending.first == 0) {
            walk_at_local_time(s);
            continue;
        }
        bool consumed = false;
        const int before = proc.number_of_statements();
        if (const auto* assign = assignmentOf(s)) {
            added |= processAssignment(*assign, proc, pd, line, proc_line, pending.first,
                                       pending.second, cond, kind);
            consumed = true;
        } else if (const CallExpression* call = callOf(s)) {
            const std::string_view name = call->getSubroutineName();
            if (isDisplay(name)) {
                added |= handleDisplay(*call, pd, proc, line, proc_line, cond, pending.first,
                                       pending.second);
                consumed = true;
            } else if (name == "$finish") {
                added |= handleFinish(pd, proc, get_file_id(call->sourceRange.start()), line,
                                      proc_line, cond, pending.first, pending.second);
                consumed = true;
            }
        } else if (s.kind == StatementKind::Conditional) {
            added |= processConditional(s.as<ConditionalStatement>(), proc, kind, pd, line,
                                        proc_line, pending.first, pending.second, 0,
                                        WEdgeKind::None, cond);
            consumed = true;
        }
        if (consumed) {
            waitOnceForEvent(proc, before);
            saved = pending;
            pending = {0, 0};
            pd = 0;
        } else {
            walk_at_local_time(s);
        }
    }
    cursor_time = lt;
    return added;
}

void SimulatorBuilder::waitOnceForEvent(process_t& proc, int first) {
    // The kernel never re-arms an event-triggered statement of an initial
    // process, so such a statement is made an ordinary one whose trigger
    // answers only until it has fired once.
    auto& state = sim_state::instance();
    for (int i = first; i < proc.number_of_statements(); ++i) {
        auto* stmt = proc.ith_statement(i);
        const int trigger = stmt->trigger_index();
        const int ack = stmt->trigger_ack_index();
        if (trigger == 0)
            continue;
        auto done = std::make_shared<bool>(false);
        const int once = state.add_trig([trigger, done] {
            if (*done)
                return std::pair<bool, time_t>(false, 0);
            return sim_state::instance().trigs(trigger)();
        });
        const int once_ack = state.add_trig_ack([ack, done] {
            *done = true;
            sim_state::instance().trig_acks(ack)();
        });
        stmt->set_trigger(once, once_ack);
        stmt->clear_initial();
    }
}

bool SimulatorBuilder::processAssignmentAbsolute(const AssignmentExpression& expr,
                                                 process_t& proc, time_t cursor_time,
                                                 int stmt_line, int proc_line, int cond,
                                                 ProceduralBlockKind kind) {
    // A statement placed at a fixed time does not wait for the event stored
    // by an earlier bare wait.
    const auto saved_list = stored_event_list;
    const int saved_pos = stored_sig_pos;
    const WEdgeKind saved_edge = stored_edge;
    const operand_t saved_type = stored_sig_type;
    stored_event_list.clear();
    stored_sig_pos = 0;
    const int before = proc.number_of_statements();
    const bool added =
        processAssignment(expr, proc, 0, stmt_line, proc_line, 0, 0, cond, kind);
    stored_event_list = saved_list;
    stored_sig_pos = saved_pos;
    stored_edge = saved_edge;
    stored_sig_type = saved_type;
    if (added && proc.number_of_statements() > before)
        proc.ith_statement(proc.number_of_statements() - 1)->set_static_time(cursor_time);
    return added;
}

namespace {

// The caller-side expression of a task argument: output arguments arrive as
// an assignment to the caller's variable.
const Expression& actualArgument(const Expression& arg) {
    const Expression& e = arg.unwrapImplicitConversions();
    if (e.kind == ExpressionKind::Assignment && e.as<AssignmentExpression>().isLValueArg())
        return e.as<AssignmentExpression>().left().unwrapImplicitConversions();
    return e;
}

} // namespace

std::string SimulatorBuilder::taskArgumentName(const Expression& arg) {
    const Expression& actual = actualArgument(arg);
    return isSignalReference(actual) ? resolveOperandName(actual) : std::string();
}

bool SimulatorBuilder::inlineTaskBody(const TaskDef& def, int stmt_line,
                                      const std::vector<std::pair<std::string, std::string>>& binds,
                                      const std::function<bool()>& walk_body) {
    const std::string task_prefix =
        "_task_" + std::string(def.sym->name) + "_" + std::to_string(stmt_line);
    struct Saved {
        std::string alias;
        int pos;
        int width;
        bool had_type;
        operand_t type;
    };
    std::vector<Saved> saved;
    for (const auto& [param, caller] : binds) {
        if (!isRegistered(caller))
            continue;
        const std::string alias = task_prefix + "." + param;
        auto pos = signal_positions.find(alias);
        auto width = signal_widths.find(alias);
        auto type = signal_types.find(alias);
        saved.push_back({alias, pos == signal_positions.end() ? -1 : pos->second,
                         width == signal_widths.end() ? -1 : width->second,
                         type != signal_types.end(),
                         type == signal_types.end() ? operand_t::BIT : type->second});
        signal_positions[alias] = signal_positions[caller];
        signal_types[alias] = getSignalType(caller);
        signal_widths[alias] = getSignalWidth(caller);
    }
    bool added = false;
    {
        auto guard = scopeGuard(task_prefix);
        added = walk_body();
    }
    for (auto it = saved.rbegin(); it != saved.rend(); ++it) {
        if (it->pos == -1)
            signal_positions.erase(it->alias);
        else
            signal_positions[it->alias] = it->pos;
        if (it->width == -1)
            signal_widths.erase(it->alias);
        else
            signal_widths[it->alias] = it->width;
        if (it->had_type)
            signal_types[it->alias] = it->type;
        else
            signal_types.erase(it->alias);
    }
    return added;
}

bool SimulatorBuilder::inlineTaskCall(const CallExpression& call, const TaskDef& def,
                                      process_t& proc, ProceduralBlockKind kind, int delay,
                                      int stmt_line, int proc_line, int trigger_idx,
                                      int trig_ack_idx, int cond) {
    std::vector<std::pair<std::string, std::string>> binds;
    const auto args = call.arguments();
    for (size_t i = 0; i < def.param_names.size() && i < args.size(); ++i)
        if (args[i])
            binds.emplace_back(def.param_names[i], taskArgumentName(*args[i]));
    return inlineTaskBody(def, stmt_line, binds, [&] {
        return processStatementWithTrigger(def.sym->getBody(), proc, kind, delay, proc_line,
                                           trigger_idx, trig_ack_idx, cond, 0, WEdgeKind::None);
    });
}

bool SimulatorBuilder::inlineTaskCallAbsolute(const CallExpression& call, const TaskDef& def,
                                              process_t& proc, ProceduralBlockKind kind,
                                              time_t& cursor_time, int stmt_line, int proc_line,
                                              int cond) {
    std::vector<std::pair<std::string, std::string>> binds;
    const auto args = call.arguments();
    for (size_t i = 0; i < def.param_names.size() && i < args.size(); ++i) {
        if (!args[i])
            continue;
        const std::string& param = def.param_names[i];
        const Expression& arg = args[i]->unwrapImplicitConversions();
        const std::string constant = "_taskliteral_" + param + "_" + std::to_string(stmt_line) +
                                     "_" + std::to_string(i);
        const int width = static_cast<int>(arg.type->getBitWidth());
        if (arg.kind == ExpressionKind::IntegerLiteral) {
            const slang::SVInt value = arg.as<IntegerLiteral>().getValue();
            if (width > 1) {
                addLongConstant(constant, svintToUint64(value), stmt_line);
                signal_widths[constant] = width;
            } else {
                addBitConstant(constant, svintToUint64(value) != 0, stmt_line);
            }
            binds.emplace_back(param, constant);
        } else if (arg.kind == ExpressionKind::StringLiteral) {
            const std::string_view text = arg.as<StringLiteral>().getValue();
            uint64_t packed = 0;
            const size_t first = text.size() > 8 ? text.size() - 8 : 0;
            for (size_t c = first; c < text.size(); ++c)
                packed = (packed << 8) | static_cast<uint8_t>(text[c]);
            addLongConstant(constant, packed, stmt_line);
            signal_widths[constant] = width;
            binds.emplace_back(param, constant);
        } else {
            binds.emplace_back(param, taskArgumentName(*args[i]));
        }
    }
    const int before = proc.number_of_statements();
    const time_t start = cursor_time;
    // The caller goes on when the task returns, after the delays in its body.
    const bool added = inlineTaskBody(def, stmt_line, binds, [&] {
        return processStatementWithAbsoluteTime(def.sym->getBody(), proc, kind, cursor_time,
                                                proc_line, 0, 0, cond);
    });
    if (start != 0)
        for (int i = before; i < proc.number_of_statements(); ++i) {
            auto* stmt = proc.ith_statement(i);
            if (stmt->is_static_scheduled() && stmt->time() == 0)
                stmt->set_static_time(start);
        }
    return added;
}
