// Scheduling into the future queue: when a statement fires next.
#include "kernel.h"

#include <algorithm>
#include <optional>

namespace wsim_kernel {

namespace {

bool is_blocking_or_nba(assign_t t) { return t == assign_t::BA || t == assign_t::NBA; }

bool signal_changed(sim_state& s, int pos, operand_t type) {
    switch (type) {
    case operand_t::BYTE: return s.access_bytes(pos).changed();
    case operand_t::LONG: return s.access_longs(pos).changed();
    case operand_t::BIT: return s.access_bits(pos).changed();
    case operand_t::FLOAT:
    case operand_t::SF: break;
    }
    return false;
}

// Earliest due time after `now` among the future entries that pass `filter`.
template <typename F>
std::optional<time_t> earliest_future_after(sim_state& s, time_t now, F&& filter) {
    std::optional<time_t> best;
    for (const assignment_t* a : s.access_queue(future)) {
        if (a->time() > now && filter(*a) && (!best || a->time() < *best))
            best = a->time();
    }
    return best;
}

} // namespace

bool assignment_t::cell_trigger_consumed() const {
    // Only signal statements have a target cell; the others have nothing to wait for.
    if (!names_signal_cells())
        return true;
    sim_state& s = sim_state::instance();
    switch (_lhs_type) {
    case operand_t::LONG: return s.access_longs(_lhs).is_trigger_consumed(_trigger);
    case operand_t::BYTE: return s.access_bytes(_lhs).is_trigger_consumed(_trigger);
    case operand_t::BIT: return s.access_bits(_lhs).is_trigger_consumed(_trigger);
    case operand_t::FLOAT:
    case operand_t::SF: break;
    }
    return true;
}

bool assignment_t::ca_is_dirty() const {
    if (_expression != 0)
        return true;
    sim_state& s = sim_state::instance();
    const uint64_t target = s.read_signal_val(_lhs, _lhs_type);
    switch (_rhs_type) {
    case operand_t::BYTE:
    case operand_t::LONG:
        return signal_changed(s, _rhs, _rhs_type) || target != s.read_signal_val(_rhs, _rhs_type);
    default:
        if (_rhs == 0 || _rhs_type != operand_t::BIT)
            return false;
        return s.access_bits(_rhs).changed() ||
               (target != 0) != s.access_bits(_rhs).state();
    }
}

// The always-loop rule for a zero-delay statement that already fired now:
// move it to the next always-loop time, or drop it when it would change
// nothing. Answers false when it is dropped.
bool assignment_t::always_loop_next_time(time_t& next_t) const {
    sim_state& s = sim_state::instance();
    const time_t now = s.sim_time();
    const auto e = earliest_future_after(s, now, [this](const assignment_t& other) {
        return &other != this && other.is_always_loop();
    });
    if (e) {
        next_t = *e;
        return true;
    }
    if (names_signal_cells() && _lhs != 0 && _rhs != 0 && _expression == 0) {
        const uint64_t source = s.read_signal_val(_rhs, _rhs_type);
        const uint64_t target = s.read_signal_val(_lhs, _lhs_type);
        bool same;
        switch (_lhs_type) {
        case operand_t::BIT: same = target == (source != 0 ? 1u : 0u); break;
        case operand_t::BYTE: same = target == (source & 0xff); break;
        default: same = target == source; break;
        }
        if (same)
            return false;
    }
    return true;
}

void assignment_t::park() {
    sim_state& s = sim_state::instance();
    const time_t now = s.sim_time();
    const time_t e = earliest_future_after(s, now, [this](const assignment_t& other) {
                         return &other != this;
                     }).value_or(0);
    if (e != 0 && e == _last_scheduled_time)
        return;
    _sim_time = (e != 0 && now + 1 < e) ? e - 1 : now + 1;
    _last_scheduled_time = now;
    in_future();
    _to_be_recommitted = true;
    s.access_queue(future).push_back(this);
}

void assignment_t::commit_to_future() {
    sim_state& s = sim_state::instance();
    const time_t now = s.sim_time();
    statement_queue& future_queue = s.access_queue(future);

    if (_static_scheduled) {
        if (_is_initial) {
            if (!_is_in_future && _last_evaluated_time == never_evaluated) {
                in_future();
                future_queue.push_back(this);
            }
        } else if (!_ever_fired) {
            _ever_fired = true;
            in_future();
            future_queue.push_back(this);
        }
        return;
    }
    if (_is_in_future)
        return;
    const bool triggered = _trigger != 0;
    if (!triggered && is_blocking_or_nba(_assn_type) && _ever_fired && _last_fired_time == now &&
        !_is_always_loop)
        return; // one firing per time step
    if (_assn_type == assign_t::PROP && _last_evaluated_time == now)
        return;
    _to_be_recommitted = false;

    const time_t r_time =
        (names_signal_cells() && _rhs != 0) ? s.signal_time(_rhs, _rhs_type) : now;
    const auto [fired_now, t_trig] = s.trigs(_trigger)();
    bool target_ok;
    if (_assn_type == assign_t::PROP)
        target_ok = s.props(_lhs).is_trigger_consumed(_trigger);
    else if (_assn_type == assign_t::SF)
        target_ok = true;
    else
        target_ok = cell_trigger_consumed();

    if (_delay == 0) {
        if (_assn_type == assign_t::CA && !ca_is_dirty() && !_is_initial && _ever_fired)
            return;
        if (_assn_type == assign_t::COMBO && !_lhs_oscillating && _ever_fired &&
            _last_fired_time >= r_time && _last_fired_time >= now)
            return;
    }
    const bool guard = _condition == 0 || s.exps(_condition)();

    const time_t d = scaled_delay();
    time_t next_t;
    if (_assn_type == assign_t::PROP) {
        next_t = now;
    } else if (triggered && (is_blocking_or_nba(_assn_type) || _assn_type == assign_t::SF)) {
        next_t = now + d;
    } else if (_is_initial && t_trig != 0) {
        next_t = t_trig + d;
    } else if (_is_initial && _assn_type == assign_t::BA) {
        next_t = now + d;
    } else {
        const time_t base = _ever_fired ? std::max(now, _sim_time) : now;
        next_t = std::max(base, r_time) + d;
        if (_is_always_loop && d == 0 && next_t == now && _ever_fired && _last_fired_time == now &&
            !always_loop_next_time(next_t))
            return;
    }

    if (names_signal_cells() && !(triggered && is_blocking_or_nba(_assn_type))) {
        switch (_lhs_type) {
        case operand_t::LONG: s.access_longs(_lhs).next_update(next_t); break;
        case operand_t::BYTE: s.access_bytes(_lhs).next_update(next_t); break;
        case operand_t::BIT: s.access_bits(_lhs).next_update(next_t); break;
        case operand_t::FLOAT:
        case operand_t::SF: break;
        }
    }

    bool fire;
    if (triggered) {
        fire = (target_ok && fired_now && guard) ||
               (_assn_type == assign_t::SF && _delay != 0 && _ever_fired && next_t == now);
    } else {
        fire = _is_initial || _delay != 0 || _assn_type == assign_t::SF ||
               _assn_type == assign_t::COMBO || _assn_type == assign_t::PROP ||
               is_blocking_or_nba(_assn_type);
    }
    if (_is_initial && !triggered && _assn_type == assign_t::SF && _last_fired_time != 0 &&
        _last_fired_time == now)
        return;

    if (fire) {
        if (_assn_type == assign_t::PROP && _last_fired_time != 0 && _last_fired_time < now)
            s.props(_lhs).clock_period_ns = now - _last_fired_time;
        _ever_fired = true;
        set_trig_snapshot(fired_now, t_trig);
        _guard_held_at_fire = triggered && _condition != 0 &&
                              (is_blocking_or_nba(_assn_type) || _assn_type == assign_t::SF);
        switch (_assn_type) {
        case assign_t::SF:
        case assign_t::PROP:
        case assign_t::COMBO:
        case assign_t::NBA:
        case assign_t::BA: _last_fired_time = now; break;
        default: break;
        }
        s.trig_acks(_trigger_ack)();
        _sim_time = next_t;
        _last_scheduled_time = now;
        in_future();
        future_queue.push_back(this);
        return;
    }

    const bool parkable = _assn_type == assign_t::MONITOR_REG || _assn_type == assign_t::NOP ||
                          _assn_type == assign_t::HALT;
    if (!_is_initial && parkable && triggered && !fired_now && _delay == 0)
        park();
}

} // namespace wsim_kernel
