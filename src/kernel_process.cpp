// Running processes: statements in order until the process waits, continuous
// drivers, properties, system tasks, and who wakes when a signal changes.
#include "kernel.h"

#include <algorithm>
#include <iostream>

namespace wsim_kernel {

namespace {

// A process that runs this many statements without waiting never will.
constexpr int statement_budget = 1000000;
// A continuous driver run this often in one time step does not settle.
constexpr int ca_settle_limit = 1000;
constexpr size_t unsettled_names_shown = 5;

bool edge_matches(edge_t edge, uint64_t before, uint64_t after) {
    switch (edge) {
    case edge_t::POS: return (before & 1) == 0 && (after & 1) != 0;
    case edge_t::NEG: return (before & 1) != 0 && (after & 1) == 0;
    case edge_t::BOTH: return ((before ^ after) & 1) != 0;
    case edge_t::ANY: break;
    }
    return before != after;
}

} // namespace

void sim_state::snapshot_expression_events(int proc, const assignment_t& wait) {
    const auto& events = event_list(wait.events);
    std::vector<uint64_t>& values = _processes[static_cast<size_t>(proc)].event_values;
    values.resize(events.size());
    for (size_t i = 0; i < events.size(); ++i)
        if (events[i].direct.pos == 0)
            values[i] = eval(events[i].expr);
}

bool sim_state::event_fires(const event_t& ev, uint64_t& remembered) {
    const uint64_t now = eval(ev.expr);
    const uint64_t before = remembered;
    remembered = now;
    // The condition is judged only when the event occurs, on current values.
    return edge_matches(ev.edge, before, now) && (ev.iff == 0 || eval(ev.iff) != 0);
}

bool sim_state::expression_delay(const assignment_t& s, time_t& steps, const char* outcome) {
    const uint64_t value = eval(s.delay_expr);
    const expr_t& x = exprs(s.delay_expr);
    const bool negative = x.is_signed && x.width >= 1 && x.width <= 64 &&
                          ((value >> (x.width - 1)) & 1) != 0;
    const time_t unit = std::max<time_t>(s.delay, 1);
    if (!negative && value <= end_of_time / unit) {
        steps = value * unit;
        return true;
    }
    // Never a wait back in time: read as IEEE 1800 reads a negative delay (a
    // huge unsigned time), such a delay ends past every time the run counts.
    if (_bad_delays_said.insert(s.line()).second) {
        std::cerr << "[SIM] ";
        if (negative)
            std::cerr << "negative delay (" << sign_extend(value, x.width) << ")";
        else
            std::cerr << "delay out of range (" << value << " units)";
        std::cerr << " at line " << get_line_context(s.line()).second
                  << ", t=" << _current_simulation_time << ": " << outcome << ".\n";
    }
    return false;
}

void sim_state::wake(const fanout_t* entry, const fanout_t* end, uint64_t old_value,
                     uint64_t new_value) {
    // Waking never adds to the lists, so the pointers stay valid.
    for (; entry != end; ++entry) {
        const fanout_t& f = *entry;
        if (f.stmt < 0) {
            if (f.stmt == disable_watch)
                queue_disable_check(f.proc);
            else if (f.stmt == monitor_watch)
                note_monitor_change(f.proc);
            else if (_runs[static_cast<size_t>(f.proc)].state != proc_state::DONE)
                make_ready(f.proc);
            continue;
        }
        process_run& p = _runs[static_cast<size_t>(f.proc)];
        bool fired = false;
        if (f.direct) {
            fired = edge_matches(f.edge, old_value, new_value);
        } else if (p.type == proc_t::ASSERT || (p.state == proc_state::WAITING && p.pc == f.stmt)) {
            // An event on an expression: see whether its value moved.
            const assignment_t& wait = _program[static_cast<size_t>(p.code_base + f.stmt)];
            const auto& events = event_list(wait.events);
            std::vector<uint64_t>& values = _processes[static_cast<size_t>(f.proc)].event_values;
            values.resize(events.size());
            for (size_t i = 0; i < events.size(); ++i)
                if (events[i].direct.pos == 0)
                    fired = event_fires(events[i], values[i]) || fired;
        }
        if (!fired)
            continue;
        if (p.type == proc_t::ASSERT) {
            if (!p.queued) {
                p.queued = true;
                _observed.push_back(f.proc);
            }
        } else if (p.state == proc_state::WAITING && p.pc == f.stmt) {
            ++p.pc;
            if (!_reached.empty())
                flush_reached(f.proc);
            make_ready(f.proc);
        }
    }
}

void sim_state::wake_local(int slot, uint64_t old_value, uint64_t new_value) {
    // Evaluating a constant while the model is built wakes nobody.
    if (old_value != new_value && !_evaluating_constant)
        wake_waiters(static_cast<size_t>(operand_t::LOCAL), slot, old_value, new_value);
}

void sim_state::schedule_wake(int proc, time_t when) {
    _runs[static_cast<size_t>(proc)].state = proc_state::DELAYED;
    _timings[static_cast<size_t>(proc)].wake_time = when;
    _wakes.push_back({when, _seq++, proc});
    std::push_heap(_wakes.begin(), _wakes.end(), std::greater<>());
}

void sim_state::schedule_write(pending_write w) {
    _future_writes.push_back(std::move(w));
    std::push_heap(_future_writes.begin(), _future_writes.end(),
                   [](const pending_write& a, const pending_write& b) {
                       return a.when != b.when ? a.when > b.when : a.seq > b.seq;
                   });
}

void sim_state::hold_write(int list, pending_write w) {
    held_writes& h = held(list);
    const process_run& helper = _runs[static_cast<size_t>(h.helper)];
    // The event has occurred in this step and the helper is about to hand
    // over: an update made now waits for the event's next occurrence.
    const bool event_seen = helper.queued && helper.pc == h.due_stmt;
    (event_seen ? h.after_event : h.waiting).push_back(std::move(w));
}

void sim_state::hand_over(int list) {
    held_writes& h = held(list);
    for (pending_write& w : h.waiting) {
        w.when = _current_simulation_time;
        queue_nba(w);
    }
    h.waiting.clear();
    h.waiting.swap(h.after_event);
}

void sim_state::sample_tick(int group) {
    sample_group& g = _sample_groups[static_cast<size_t>(group)];
    if (g.last_step == _step_id)
        return;
    if (g.clock.pos != 0 &&
        !edge_matches(g.edge, sampled_signal_val(g.clock.pos, g.clock.type), read(g.clock)))
        return;
    g.last_step = _step_id;
    for (int i : g.entries) {
        stable_entry& e = stable_entries(i);
        e.prev_value = e.tick_value;
        e.tick_value = sampled_signal_val(e.sig_pos, e.sig_type);
    }
}

bool sim_state::in_range_item(const case_item& item, uint64_t selector) {
    const uint64_t lo = eval(item.expr);
    const uint64_t hi = eval(item.hi);
    if (item.is_signed) {
        const int64_t v = sign_extend(selector, item.width);
        return sign_extend(lo, item.width) <= v && v <= sign_extend(hi, item.width);
    }
    const uint64_t v = selector & width_mask(item.width);
    return (lo & width_mask(item.width)) <= v && v <= (hi & width_mask(item.width));
}

bool sim_state::item_matches(const case_item& item, uint64_t selector) {
    return item.hi != 0 ? in_range_item(item, selector)
                        : ((item.constant ? item.value : eval(item.expr)) & item.mask) ==
                              (selector & item.mask);
}

bool sim_state::case_arm(const case_table& t, int& target) {
    const uint64_t selector = eval(t.selector);
    for (size_t i = 0; i < t.items.size(); ++i) {
        if (item_matches(t.items[i], selector)) {
            target = t.items[i].target;
            if (t.check != 0)
                judge_case(t, i, selector);
            return true;
        }
    }
    target = t.default_target;
    if (t.check != 0)
        judge_case(t, t.items.size(), selector);
    return false;
}

void sim_state::run_function(int f) {
    function_t& fn = functions(f);
    // Recursion is refused when the model is built; a guard keeps a bad
    // model from looping.
    if (fn.running)
        return;
    fn.running = true;
    const int n = static_cast<int>(fn.body.size());
    int budget = statement_budget;
    for (int pc = 0; pc < n && --budget > 0;) {
        const assignment_t& s = fn.body[static_cast<size_t>(pc)];
        switch (s.type()) {
        case assign_t::BA:
            write_lvalue(s.lhs, eval(s.expr), fn.name);
            ++pc;
            break;
        case assign_t::JUMP: pc = s.target; break;
        case assign_t::BRANCH: pc = eval(s.expr) != 0 ? pc + 1 : s.target; break;
        case assign_t::CASE: case_arm(case_tables(s.table), pc); break;
        case assign_t::HALT: pc = n; break;
        case assign_t::SF:
            // A function may print; it cannot wait or finish the run.
            if ((s.task == sf_kind::DISPLAY || s.task == sf_kind::WRITE) && !_evaluating_constant)
                exps(s.expr)();
            ++pc;
            break;
        default: ++pc; break;
        }
    }
    fn.running = false;
}

void sim_state::execute(int proc) {
    process_run& p = _runs[static_cast<size_t>(proc)];
    // Only named when a write is recorded: its text is never read otherwise.
    const std::string& name = _processes[static_cast<size_t>(proc)].name();
    p.state = proc_state::READY;
    const int n = p.code_length;
    for (int budget = statement_budget; budget > 0; --budget) {
        if (p.pc >= n) {
            if (p.type == proc_t::ALWAYS || p.type == proc_t::COMBO) {
                p.pc = 0;
                continue;
            }
            p.state = proc_state::DONE;
            return;
        }
        const assignment_t& s = _program[static_cast<size_t>(p.code_base + p.pc)];
        switch (s.type()) {
        case assign_t::BA:
            ++p.pc;
            write_lvalue(s.lhs, eval(s.expr), name);
            note_step(s.line());
            break;
        case assign_t::NBA: {
            const whole_target& target = _whole_targets[static_cast<size_t>(s.lhs)];
            // A delay expression comes with a unit of at least one step.
            if (target.whole && s.table == 0 && s.delay == 0) {
                // The common update: one whole signal, in this time step.
                _nba_now.push_back(
                    {target.write_of(eval(s.expr)), _current_simulation_time, proc, p.pc});
                ++p.pc;
                note_step(s.line());
                break;
            }
            pending_write w;
            w.when = _current_simulation_time;
            w.seq = _seq++;
            w.proc = proc;
            w.stmt = p.pc;
            resolve_lvalue(s.lhs, eval(s.expr), w.writes);
            time_t delay = 0;
            if (s.table != 0) {
                hold_write(s.table, std::move(w));
            } else if (delay_now(s, delay, "the update is dropped")) {
                if (delay != 0) {
                    w.when = time_after(w.when, delay);
                    w.nba = true;
                    schedule_write(std::move(w));
                } else {
                    queue_nba(w);
                }
            }
            ++p.pc;
            note_step(s.line());
            break;
        }
        case assign_t::NBA_DUE:
            ++p.pc;
            hand_over(s.table);
            break;
        case assign_t::SAMPLE:
            ++p.pc;
            sample_tick(s.table);
            break;
        case assign_t::ATTEMPT:
            reach_assertion(s.table, proc, p.pc);
            ++p.pc;
            note_step(s.line());
            break;
        case assign_t::SF:
            ++p.pc;
            run_system_task(s);
            note_step(s.line());
            if (s.task == sf_kind::FINISH) {
                p.state = proc_state::DONE;
                return;
            }
            break;
        case assign_t::MONITOR_REG:
            ++p.pc;
            start_monitor(s.expr, proc, s.line());
            note_step(s.line());
            break;
        case assign_t::DELAY: {
            ++p.pc;
            time_t delay = 0;
            if (!delay_now(s, delay, "the process never resumes")) {
                p.state = proc_state::DONE;
            } else if (delay == 0) {
                p.state = proc_state::DELAYED;
                _inactive.push_back(proc);
                p.queued = true;
            } else {
                schedule_wake(proc, time_after(_current_simulation_time, delay));
            }
            return;
        }
        case assign_t::WAIT:
            snapshot_events(proc, s);
            p.state = proc_state::WAITING;
            return;
        case assign_t::JUMP: p.pc = s.target; break;
        case assign_t::BRANCH: p.pc = eval(s.expr) != 0 ? p.pc + 1 : s.target; break;
        case assign_t::CASE: case_arm(case_tables(s.table), p.pc); break;
        case assign_t::HALT: p.state = proc_state::DONE; return;
        default: ++p.pc; break;
        }
    }
    const process_t& stuck = _processes[static_cast<size_t>(proc)];
    const int line = get_line_context(stuck.ith_statement(std::min(p.pc, n - 1))->line()).second;
    std::cerr << "[SIM] process '" << name << "' of line " << stuck.line() << " ran "
              << statement_budget << " statements at t=" << _current_simulation_time
              << " without waiting (at line " << line << ") — stopping.\n";
    p.state = proc_state::DONE;
    stop(stop_reason_t::DELTA_LIMIT);
}

void sim_state::run_continuous(int proc) {
    process_timing& p = _timings[static_cast<size_t>(proc)];
    if (p.runs_step != _step_id) {
        p.runs_step = _step_id;
        p.runs_this_step = 0;
    }
    if (p.unsettled && p.runs_this_step >= 1)
        return;
    if (++p.runs_this_step > ca_settle_limit) {
        // A loop of drivers: name them once, then let each run once per step.
        std::string names;
        size_t shown = 0;
        for (size_t i = 0; i < _runs.size(); ++i) {
            process_timing& other = _timings[i];
            if (_runs[i].type != proc_t::ASSIGN || other.runs_step != _step_id ||
                other.runs_this_step < ca_settle_limit / 2)
                continue;
            other.unsettled = true;
            const int lhs = _program[static_cast<size_t>(_runs[i].code_base)].lhs;
            if (shown < unsettled_names_shown && lhs != 0 && !lvalues(lhs).parts.empty()) {
                names += (shown ? ", " : "") + signal_name(lvalues(lhs).parts.front().sig);
                ++shown;
            }
        }
        p.unsettled = true;
        if (!_ca_unsettled_reported) {
            _ca_unsettled_reported = true;
            std::cerr << "[SIM] continuous assignments did not settle at t="
                      << _current_simulation_time << ": " << names << "\n";
        }
        return;
    }
    const int code_base = _runs[static_cast<size_t>(proc)].code_base;
    const assignment_t& s = _program[static_cast<size_t>(code_base)];
    const uint64_t value = eval(s.expr);
    time_t delay = s.delay;
    if (!delay_now(s, delay, "the driven value is dropped")) {
        // It replaces any value still in flight, and never lands itself.
        p.wake_time = _seq++;
        return;
    }
    if (delay != 0) {
        pending_write w;
        w.when = time_after(_current_simulation_time, delay);
        w.seq = _seq++;
        w.proc = proc;
        w.stmt = 0;
        resolve_lvalue(s.lhs, value, w.writes);
        // A newer value replaces one still in flight.
        p.wake_time = w.seq;
        schedule_write(std::move(w));
        return;
    }
    if (s.delay_expr != 0)
        p.wake_time = _seq++; // a value still in flight would land after this one
    if (write_lvalue(s.lhs, value, _processes[static_cast<size_t>(proc)].name()))
        note_step(s.line());
}

void sim_state::run_property(int proc) {
    const assignment_t& s = *_processes[static_cast<size_t>(proc)].ith_statement(0);
    prop_t& prop = props(s.table);
    prop.evaluate(_current_simulation_time);
    // $rose and its kind compare with the values at the previous clock tick.
    update_stable_deps(prop);
}

void sim_state::flush_reached(int proc) {
    std::erase_if(_reached, [proc](const reached_assertion& r) { return r.proc == proc; });
}

void sim_state::queue_disable_check(int proc) {
    const int index = _processes[static_cast<size_t>(proc)].ith_statement(0)->table;
    prop_t& prop = props(index);
    if (!prop.in_flight() || prop.disable_check_queued)
        return;
    prop.disable_check_queued = true;
    _disable_checks.push_back(index);
}

void sim_state::check_disables() {
    for (int index : _disable_checks) {
        prop_t& prop = props(index);
        prop.disable_check_queued = false;
        prop.disable_in_flight(_current_simulation_time);
    }
    _disable_checks.clear();
}

void sim_state::run_system_task(const assignment_t& s) {
    switch (s.task) {
    case sf_kind::FINISH:
        _finish_requested = true;
        break;
    case sf_kind::DISPLAY:
    case sf_kind::WRITE:
        if (s.expr != 0) {
            exps(s.expr)();
            check_console();
        }
        break;
    default: break;
    }
}

} // namespace wsim_kernel
