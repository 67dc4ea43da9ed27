// The simulation state: stores, tables, writes and the values they wake,
// sampled values, the monitor, run control.
#include "kernel.h"

#include <algorithm>

namespace wsim_kernel {

const char* stop_reason_text(stop_reason_t reason) {
    switch (reason) {
    case stop_reason_t::FINISH: return "finish";
    case stop_reason_t::TIME_LIMIT: return "time limit";
    case stop_reason_t::CYCLE_LIMIT: return "cycle limit";
    case stop_reason_t::DELTA_LIMIT: return "delta limit";
    case stop_reason_t::QUEUE_OVERRUN: return "queue overrun";
    case stop_reason_t::NO_MORE_EVENTS: return "no more events";
    case stop_reason_t::CONSOLE_LIMIT: return "console limit";
    case stop_reason_t::NONE: break;
    }
    return "none";
}

process_t::process_t(int line, std::string name, proc_t type)
    : _p_type(type), _line_no(line), _name(std::move(name)) {}

assignment_t& process_t::add_statement(const assignment_t& a) {
    _statements.push_back(a);
    return _statements.back();
}

sim_state::sim_state() : _recorder(wsim_timeseries::TimeSeriesDB::instance()) { add_sentinels(); }

sim_state& sim_state::instance() {
    static sim_state state;
    return state;
}

void sim_state::add_sentinels() {
    add_bit(bit(false, false, "", 0));
    add_byte(byte_t(0, false, "", 0));
    add_long(long_t(0, false, "", 0));
    _exps.emplace_back([] { return true; });
    add_expr(expr_t{});
    add_lvalue(lvalue_t{});
    _event_lists.emplace_back();
    _event_list_direct.push_back(true);
    _case_tables.emplace_back();
    _case_checks.emplace_back();
    _functions.emplace_back();
    _held.emplace_back();
    _call_outs.emplace_back();
    _sample_groups.emplace_back();
    _locals.push_back(0);
    _props.emplace_back("__sentinel__", 0);
    for (auto& f : _fanout)
        f.resize(1);
    for (auto& s : _sampled_slot)
        s.resize(1);
}

template <typename V, typename E>
static int append(V& table, E&& element) {
    table.push_back(std::forward<E>(element));
    return static_cast<int>(table.size()) - 1;
}

int sim_state::add_bit(bit b) {
    _names[0].push_back(b.name());
    return append(_bits, static_cast<uint8_t>(b.state() ? 1 : 0));
}
int sim_state::add_byte(byte_t b) {
    _names[1].push_back(b.name());
    return append(_bytes, b.state());
}
int sim_state::add_long(long_t l) {
    _names[2].push_back(l.name());
    return append(_longs, l.state());
}
int sim_state::add_exp(exp_t e) { return append(_exps, std::move(e)); }
int sim_state::add_expr(expr_t e) {
    _expr_slots.push_back({static_cast<uint32_t>(_expr_code.size()),
                           static_cast<uint32_t>(e.code.size()),
                           static_cast<uint32_t>(std::max(e.max_stack, 1)), shape_of(e.code)});
    _expr_code.insert(_expr_code.end(), e.code.begin(), e.code.end());
    return append(_exprs, std::move(e));
}
int sim_state::add_lvalue(lvalue_t l) {
    whole_target target;
    if (l.parts.size() == 1 && l.parts.front().whole) {
        const lvalue_part& part = l.parts.front();
        target.sig = part.sig;
        target.sig_width = part.sig_width;
        target.width = part.width;
        target.whole = true;
    }
    _whole_targets.push_back(target);
    return append(_lvalues, std::move(l));
}
int sim_state::add_event_list(std::vector<event_t> events) {
    _event_list_direct.push_back(std::all_of(events.begin(), events.end(),
                                             [](const event_t& e) { return e.direct.pos != 0; }));
    return append(_event_lists, std::move(events));
}
int sim_state::add_case_table(case_table t) {
    for (case_item& item : t.items) {
        const expr_slot& x = _expr_slots[static_cast<size_t>(item.expr)];
        item.constant = item.hi == 0 && x.length == 1 && _expr_code[x.at].op == xop::CONST;
        item.value = item.constant ? _expr_code[x.at].k : 0;
    }
    return append(_case_tables, std::move(t));
}
int sim_state::add_case_check(case_check c) { return append(_case_checks, std::move(c)); }
int sim_state::add_function(function_t f) { return append(_functions, std::move(f)); }
int sim_state::add_local(uint64_t initial) { return append(_locals, initial); }
int sim_state::add_prop(const prop_t& p) { return append(_props, p); }
int sim_state::add_stable_entry(stable_entry e) { return append(_stable_entries, e); }
int sim_state::add_held_writes() { return append(_held, held_writes{}); }
int sim_state::add_call_outs(std::vector<call_out> outs) { return append(_call_outs, std::move(outs)); }
int sim_state::add_sample_group(sample_group g) { return append(_sample_groups, std::move(g)); }
int sim_state::add_process(process_t p) {
    const int index = append(_processes, std::move(p));
    process_t& stored = _processes.back();
    _timings.emplace_back();
    process_run& run = _runs.emplace_back();
    run.type = stored.type();
    run.code_base = static_cast<int>(_program.size());
    run.code_length = stored.number_of_statements();
    for (int i = 0; i < stored.number_of_statements(); ++i)
        _program.push_back(*stored.ith_statement(i));
    for (int i = 0; i < stored.number_of_statements(); ++i) {
        const assignment_t& s = *stored.ith_statement(i);
        if (s.type() == assign_t::CA) {
            for (const signal_ref& sig : expression_reads(s.expr, false))
                add_fanout(sig, index, -1);
            for (const lvalue_part& part : lvalues(s.lhs).parts)
                for (const signal_ref& sig : expression_reads(part.index_expr, false))
                    add_fanout(sig, index, -1);
        } else if (s.type() == assign_t::WAIT || s.type() == assign_t::PROP) {
            for (const event_t& ev : event_list(s.events)) {
                if (ev.direct.pos != 0) {
                    add_fanout(ev.direct, {index, i, true, ev.edge});
                    continue;
                }
                for (const signal_ref& sig : expression_reads(ev.expr, false))
                    add_fanout(sig, index, i);
            }
            const int disable = s.type() == assign_t::PROP ? props(s.table).disable_iff_expr : 0;
            if (disable != 0)
                for (const signal_ref& sig : expression_reads(disable, true))
                    add_fanout(sig, index, disable_watch);
        }
    }
    return index;
}

std::vector<signal_ref> sim_state::expression_reads(int expr, bool through_functions) {
    std::vector<signal_ref> out;
    std::vector<int> seen_functions;
    std::vector<int> pending{expr};
    auto add = [&out](signal_ref r) {
        if (r.pos != 0 && std::find(out.begin(), out.end(), r) == out.end())
            out.push_back(r);
    };
    while (!pending.empty()) {
        const int e = pending.back();
        pending.pop_back();
        if (e == 0)
            continue;
        for (const xins& in : exprs(e).code) {
            // A function's own arguments and variables are no input of its
            // callers: every call writes them.
            if (in.op == xop::LOAD && (in.ty != operand_t::LOCAL || e == expr))
                add({in.ty, in.a});
            if (in.op != xop::CALL || !through_functions ||
                std::find(seen_functions.begin(), seen_functions.end(), in.a) !=
                    seen_functions.end())
                continue;
            seen_functions.push_back(in.a);
            for (const assignment_t& s : functions(in.a).body) {
                pending.push_back(s.expr);
                if (s.type() == assign_t::CASE) {
                    const case_table& t = case_tables(s.table);
                    pending.push_back(t.selector);
                    for (const case_item& item : t.items) {
                        pending.push_back(item.expr);
                        pending.push_back(item.hi);
                    }
                }
            }
        }
    }
    return out;
}

void sim_state::add_fanout(signal_ref sig, int proc, int stmt) { add_fanout(sig, {proc, stmt}); }

void sim_state::add_fanout(signal_ref sig, fanout_t entry) {
    if (sig.pos <= 0)
        return;
    auto& table = _fanout[static_cast<size_t>(sig.type)];
    if (table.size() <= static_cast<size_t>(sig.pos))
        table.resize(static_cast<size_t>(sig.pos) + 1);
    auto& list = table[static_cast<size_t>(sig.pos)];
    // Processes are added one after another: the process's own entries, the
    // only ones it could repeat, are the last of the list.
    for (auto f = list.rbegin(); f != list.rend() && f->proc == entry.proc; ++f)
        if (f->stmt == entry.stmt && f->direct == entry.direct && f->edge == entry.edge)
            return;
    list.push_back(entry);
    _wake_lists_built = false;
    if (sig.type == operand_t::LOCAL)
        _locals_watched_below = std::max(_locals_watched_below, sig.pos + 1);
}

void sim_state::build_wake_lists() {
    for (size_t store = 0; store < _fanout.size(); ++store) {
        wake_list& wakes = _wake_lists[store];
        wakes.start.clear();
        wakes.entries.clear();
        for (const std::vector<fanout_t>& list : _fanout[store]) {
            // Rises, falls, stays: a direct event on the other edge never fires.
            for (const edge_t skipped : {edge_t::NEG, edge_t::POS, edge_t::ANY}) {
                wakes.start.push_back(static_cast<uint32_t>(wakes.entries.size()));
                for (const fanout_t& f : list) {
                    const bool edge_only = f.direct && f.edge != edge_t::ANY;
                    if (!edge_only || (skipped != edge_t::ANY && f.edge != skipped))
                        wakes.entries.push_back(f);
                }
            }
        }
        wakes.start.push_back(static_cast<uint32_t>(wakes.entries.size()));
    }
    _wake_lists_built = true;
}

const std::string& sim_state::signal_name(signal_ref r) {
    return _names[store_index(r.type)].at(static_cast<size_t>(r.pos));
}

void sim_state::resolve_lvalue(int lv, uint64_t value, write_list& out) {
    const lvalue_t& target = lvalues(lv);
    out.clear();
    int shift = 0;
    // The last part takes the least significant bits.
    for (size_t i = target.parts.size(); i-- > 0;) {
        const lvalue_part& p = target.parts[i];
        resolved_write w;
        w.sig = p.sig;
        w.sig_width = p.sig_width;
        w.width = p.width;
        w.whole = p.whole;
        w.value = (shift >= 64 ? 0 : value >> shift) & width_mask(p.width);
        shift += p.width;
        if (!p.whole) {
            int64_t lsb = clamp_position(p.index_adjust);
            if (p.index_expr != 0)
                lsb += index_position(eval(p.index_expr), p.index_signed);
            const int64_t offset = p.descending ? lsb - p.right : p.right - lsb;
            w.offset = static_cast<int>(std::clamp<int64_t>(offset, -1000000, 1000000));
        }
        out.push_back(w);
    }
}

// The value of a cell after `w` is written into it; false when the write
// falls wholly outside the signal and changes nothing.
static bool merged_value(uint64_t old, int sig_width, const resolved_write& w, uint64_t& out) {
    if (w.whole) {
        out = w.value & width_mask(sig_width);
        return true;
    }
    if (w.offset >= sig_width || w.offset + w.width <= 0)
        return false;
    uint64_t bits = w.value & width_mask(w.width);
    uint64_t mask = width_mask(w.width);
    if (w.offset < 0) {
        bits >>= -w.offset;
        mask >>= -w.offset;
    } else {
        bits <<= w.offset;
        mask <<= w.offset;
    }
    mask &= width_mask(sig_width);
    out = (old & ~mask) | (bits & mask);
    return true;
}

bool sim_state::apply_merged_write(const resolved_write& w, const std::string& cause) {
    const signal_ref sig = w.sig;
    if (sig.pos <= 0)
        return false;
    if (sig.type == operand_t::LOCAL) {
        uint64_t v = 0;
        return merged_value(locals(sig.pos), 64, w, v) && write_local(sig.pos, v);
    }
    const uint64_t old = read_signal_val(sig.pos, sig.type);
    uint64_t next = 0;
    if (!merged_value(old, w.sig_width, w, next))
        return false;
    if (!store_changed(sig, next))
        return false;
    signal_changed(sig, old, next, cause);
    return true;
}

void sim_state::note_change(signal_ref sig, uint64_t old, uint64_t next, const std::string& cause) {
    if (keeps_sampled_values())
        note_sampled(sig, old);
    // Once the recorder keeps nothing more, telling it costs for nothing.
    if (!_recorder.is_recording_stopped()) {
        _recorder.record_signal_change(signal_name(sig), static_cast<int64_t>(next));
        const auto& aliases = _aliases[store_index(sig.type)];
        if (static_cast<size_t>(sig.pos) < aliases.size())
            for (const std::string& alias : aliases[static_cast<size_t>(sig.pos)])
                _recorder.record_signal_change(alias, static_cast<int64_t>(next));
        _recorder.record_cause_line(cause);
    }
}

uint64_t sim_state::store(signal_ref sig, uint64_t v) {
    const auto at = static_cast<size_t>(sig.pos);
    switch (sig.type) {
    case operand_t::BIT: return std::exchange(_bits[at], static_cast<uint8_t>(v != 0 ? 1 : 0));
    case operand_t::BYTE: return std::exchange(_bytes[at], static_cast<uint8_t>(v));
    case operand_t::LONG: return std::exchange(_longs[at], v);
    default: return 0;
    }
}

bool sim_state::write_lvalue(int lv, uint64_t value, const std::string& cause) {
    const whole_target& target = _whole_targets[static_cast<size_t>(lv)];
    if (target.whole)
        return apply_write(target.write_of(value), cause);
    write_list writes;
    resolve_lvalue(lv, value, writes);
    bool changed = false;
    for (size_t i = 0; i < writes.size(); ++i)
        changed = apply_write(writes[i], cause) || changed;
    return changed;
}

void sim_state::set_initial_value(signal_ref r, uint64_t v) {
    switch (r.type) {
    case operand_t::BIT:
    case operand_t::BYTE:
    case operand_t::LONG: store(r, v); break;
    case operand_t::LOCAL: locals(r.pos) = v; return;
    default: return;
    }
    // The starting value is what the recorder shows before the first step.
    const int64_t value = static_cast<int64_t>(read(r));
    _recorder.record_signal_change(signal_name(r), value);
    const auto& aliases = _aliases[store_index(r.type)];
    if (static_cast<size_t>(r.pos) < aliases.size())
        for (const std::string& alias : aliases[static_cast<size_t>(r.pos)])
            _recorder.record_signal_change(alias, value);
}

int sim_state::signal_width(signal_ref r) const {
    const auto& widths = _signal_widths[store_index(r.type)];
    const auto at = static_cast<size_t>(r.pos);
    if (at < widths.size() && widths[at] > 0)
        return widths[at];
    return r.type == operand_t::BIT ? 1 : r.type == operand_t::BYTE ? 8 : 64;
}

void sim_state::set_signal_width(signal_ref r, int width) {
    auto& widths = _signal_widths[store_index(r.type)];
    if (widths.size() <= static_cast<size_t>(r.pos))
        widths.resize(static_cast<size_t>(r.pos) + 1, 0);
    widths[static_cast<size_t>(r.pos)] = width;
}

// ---- Sampled values ------------------------------------------------------

void sim_state::note_sampled(signal_ref sig, uint64_t old_value) {
    auto& slots = _sampled_slot[store_index(sig.type)];
    if (slots.size() <= static_cast<size_t>(sig.pos))
        slots.resize(static_cast<size_t>(sig.pos) + 1, 0);
    uint32_t& slot = slots[static_cast<size_t>(sig.pos)];
    if (slot != 0)
        return;
    _sampled.push_back({sig, old_value});
    slot = static_cast<uint32_t>(_sampled.size());
}

void sim_state::begin_sampling_step() {
    for (const sampled_cell& c : _sampled)
        _sampled_slot[store_index(c.sig.type)][static_cast<size_t>(c.sig.pos)] = 0;
    _sampled.clear();
}

void sim_state::add_signal_alias(signal_ref sig, const std::string& name) {
    auto& table = _aliases[store_index(sig.type)];
    if (table.size() <= static_cast<size_t>(sig.pos))
        table.resize(static_cast<size_t>(sig.pos) + 1);
    table[static_cast<size_t>(sig.pos)].push_back(name);
}

uint64_t sim_state::sampled_signal_val(int pos, operand_t type) {
    const auto& slots = _sampled_slot[store_index(type)];
    const auto at = static_cast<size_t>(pos);
    if (!_showing_sampled && at < slots.size() && slots[at] != 0)
        return _sampled[slots[at] - 1].value;
    return read_signal_val(pos, type);
}

void sim_state::exchange_shown_values() {
    for (sampled_cell& c : _sampled) {
        c.value = store(c.sig, c.value);
    }
}

void sim_state::show_sampled_values() {
    if (_showing_sampled)
        return;
    exchange_shown_values();
    _showing_sampled = true;
}

void sim_state::show_current_values() {
    if (!_showing_sampled)
        return;
    exchange_shown_values();
    _showing_sampled = false;
}

bool sim_state::holds_on_current_values(int expr) {
    if (!_showing_sampled)
        return eval(expr) != 0;
    struct reshow {
        sim_state& s;
        ~reshow() { s.show_sampled_values(); }
    };
    show_current_values();
    reshow guard{*this};
    return eval(expr) != 0;
}

void sim_state::update_stable(int i) {
    stable_entry& e = stable_entries(i);
    e.prev_value = sampled_signal_val(e.sig_pos, e.sig_type);
    e.initialized = true;
}

void sim_state::update_stable_deps(const prop_t& p) {
    for (int dep : p.stable_deps())
        update_stable(dep);
}

// ---- Monitor -------------------------------------------------------------

void sim_state::register_monitor(int exp_idx, const std::vector<int>& watched) {
    MonitorWatcher w;
    w.exp_idx = exp_idx;
    w.watched = watched;
    const int index = static_cast<int>(_registered_monitors.size());
    // A value that changes and changes back within a time step has changed:
    // the monitor prints then too. An argument that calls a function is
    // judged only at the end of the step: calling it more often could change
    // what the function keeps.
    for (size_t i = 0; i < watched.size(); ++i) {
        const auto& code = exprs(watched[i]).code;
        if (std::any_of(code.begin(), code.end(), [](const xins& in) { return in.op == xop::CALL; }))
            continue;
        w.followed.push_back(i);
        for (const signal_ref& sig : expression_reads(watched[i], false))
            add_fanout(sig, index, monitor_watch);
    }
    _registered_monitors.push_back(std::move(w));
}

void sim_state::note_monitor_change(int watcher) {
    if (!_monitor.active || !_monitor.printed || _monitor.moved ||
        _monitor.exp_idx != _registered_monitors[static_cast<size_t>(watcher)].exp_idx)
        return;
    for (size_t i : _monitor.followed)
        if (eval(_monitor.watched[i]) != _monitor.last[i]) {
            _monitor.moved = true;
            return;
        }
}

void sim_state::start_monitor(int exp_idx, int proc, int line) {
    for (const MonitorWatcher& w : _registered_monitors) {
        if (w.exp_idx == exp_idx) {
            _monitor = w;
            _monitor.active = true;
            _monitor.printed = false;
            _monitor.moved = false;
            _monitor.proc = proc;
            _monitor.line = line;
            return;
        }
    }
}

void sim_state::run_monitor_region() {
    if (!_monitor.active || _monitor.exp_idx == 0)
        return;
    _monitor.checked_step = _step_id;
    std::vector<uint64_t> now;
    now.reserve(_monitor.watched.size());
    for (int e : _monitor.watched)
        now.push_back(eval(e));
    const bool moved = std::exchange(_monitor.moved, false);
    if (_monitor.printed && now == _monitor.last && !moved)
        return;
    _monitor.last = std::move(now);
    _monitor.printed = true;
    exps(_monitor.exp_idx)();
    check_console();
}

// ---- Run control -----------------------------------------------------------

void sim_state::halt_simulation() {
    _halt_simulation = true;
    _resume_simulation = false;
}

void sim_state::resume_simulation() {
    if (!_halt_simulation)
        return;
    _resume_simulation = true;
    _halt_simulation = false;
}

std::pair<int, int> sim_state::get_line_context(int line) const {
    if (line >= 0 && static_cast<size_t>(line) < _line_ctx_map.size())
        return _line_ctx_map[static_cast<size_t>(line)];
    return {-1, -1};
}

void sim_state::clear() {
    _bits.clear();
    _bytes.clear();
    _longs.clear();
    for (auto& names : _names)
        names.clear();
    _exps.clear();
    _exprs.clear();
    _lvalues.clear();
    _program.clear();
    _expr_slots.clear();
    _expr_code.clear();
    _whole_targets.clear();
    _event_lists.clear();
    _event_list_direct.clear();
    _case_tables.clear();
    _case_checks.clear();
    _deferred_reports.clear();
    _running_proc = -1;
    _functions.clear();
    _locals.clear();
    _stable_entries.clear();
    _held.clear();
    _call_outs.clear();
    _sample_groups.clear();
    for (auto& f : _fanout)
        f.clear();
    _wake_lists_built = false;
    _locals_watched_below = 0;
    for (auto& w : _signal_widths)
        w.clear();
    for (auto& a : _aliases)
        a.clear();
    for (auto& s : _sampled_slot)
        s.clear();
    _sampled.clear();
    _showing_sampled = false;
    _processes.clear();
    _runs.clear();
    _timings.clear();
    _props.clear();
    _active.clear();
    _inactive.clear();
    _nba_now.clear();
    _nba_applying.clear();
    _observed.clear();
    _reached.clear();
    _disable_checks.clear();
    _wakes.clear();
    _future_writes.clear();
    _seq = 0;
    _finish_requested = false;
    _monitor = MonitorWatcher{};
    _registered_monitors.clear();
    _ca_unsettled_reported = false;
    _static_initialisers.clear();
    _bad_delays_said.clear();
    _current_simulation_time = 0;
    _step_id = 0;
    add_sentinels();
    sim_config.infinite_loop_abort = false;
    _halt_simulation = false;
    _resume_simulation = false;
    _simulation_finished = false;
    _started = false;
    _stop_reason = stop_reason_t::NONE;
}

} // namespace wsim_kernel
