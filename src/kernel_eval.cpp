// Statement evaluation: signal writes, system functions and property steps.
#include "kernel.h"

#include <iostream>

namespace wsim_kernel {

namespace {

bool is_procedural_write(assign_t t) {
    return t == assign_t::NBA || t == assign_t::BA || t == assign_t::COMBO;
}

// Swaps standard output into the console stream for the life of the guard, so
// a throwing formatter still leaves standard output restored.
class console_redirect {
public:
    explicit console_redirect(std::ofstream& console)
        : _console(console), _saved(std::cout.rdbuf(console.rdbuf())) {}
    ~console_redirect() {
        _console.flush();
        std::cout.rdbuf(_saved);
    }
    console_redirect(const console_redirect&) = delete;
    console_redirect& operator=(const console_redirect&) = delete;

private:
    std::ofstream& _console;
    std::streambuf* _saved;
};

} // namespace

time_t assignment_t::source_time() const {
    sim_state& s = sim_state::instance();
    // System functions, monitors and properties hold closure indices in _rhs.
    if (!names_signal_cells())
        return s.sim_time();
    return s.signal_time(_rhs, _rhs_type);
}

void assignment_t::evaluate(bool& continue_run) {
    sim_state& s = sim_state::instance();
    const time_t now = s.sim_time();
    _last_evaluated_time = now;

    const bool parked = _to_be_recommitted;
    if (parked) {
        _to_be_recommitted = false;
        if (_condition != 0 && !s.exps(_condition)())
            return;
    }
    const bool guard_decided = _guard_held_at_fire;
    _guard_held_at_fire = false;
    if (is_procedural_write(_assn_type) && _condition != 0 && !guard_decided &&
        !s.exps(_condition)())
        return;

    time_t l_time;
    if (_trigger != 0 && (_assn_type == assign_t::NBA || _assn_type == assign_t::BA))
        l_time = now;
    else if (_trigger == 0)
        l_time = source_time();
    else
        l_time = _trig_snapshot_time;

    switch (_assn_type) {
    case assign_t::SF: evaluate_system_function(continue_run, guard_decided); break;
    case assign_t::PROP: evaluate_property(l_time); break;
    case assign_t::CA:
    case assign_t::BA:
    case assign_t::NBA:
    case assign_t::COMBO: evaluate_write(l_time); break;
    case assign_t::MONITOR_REG:
        // A parked registration only waits for its event; it has not run.
        if (!parked && (_condition == 0 || s.exps(_condition)()))
            s.start_monitor(_rhs);
        break;
    case assign_t::NOP:
    case assign_t::HALT: break;
    }
}

void assignment_t::evaluate_write(time_t l_time) {
    if (_lhs == 0)
        return;
    const time_t at = l_time + scaled_delay();
    if (_rhs == 0 && _expression == 0) {
        touch_target(at);
        return;
    }
    switch (_lhs_type) {
    case operand_t::BYTE: write_byte_target(at); break;
    case operand_t::LONG: write_long_target(at); break;
    case operand_t::BIT: write_bit_target(at); break;
    case operand_t::FLOAT:
    case operand_t::SF: break;
    }
}

// Source value for a copy: the pre-NBA value for a non-blocking assignment
// while that snapshot is active.
static uint64_t copy_source_value(const assignment_t& a, int rhs, operand_t rhs_type) {
    sim_state& s = sim_state::instance();
    if (a.type() == assign_t::NBA)
        return s.read_signal_val_snap(rhs, rhs_type);
    return s.read_signal_val(rhs, rhs_type);
}

void assignment_t::write_bit_target(time_t at) {
    sim_state& s = sim_state::instance();
    bit& target = s.access_bits(_lhs);
    if (_expression != 0 && _rhs == 0 && _exp_writes_lhs) {
        s.exps(_expression)();
        if (!target.changed())
            return;
    } else {
        bool value;
        if (_expression != 0 && _rhs != 0) {
            if (_rhs_type == operand_t::BIT) {
                value = s.ops(_expression)(s.access_bits(_rhs));
            } else {
                // A wider source feeds the bit operator its least significant bit.
                const bit lsb((s.read_signal_val(_rhs, _rhs_type) & 1) != 0, false, "", 0);
                value = s.ops(_expression)(lsb);
            }
        } else if (_rhs != 0) {
            value = (copy_source_value(*this, _rhs, _rhs_type) & 1) != 0;
        } else {
            value = s.exps(_expression)();
        }
        target.update(value, at);
        if (!target.changed())
            return;
    }
    if (target.state())
        target.mark_posedge();
    else
        target.mark_negedge();
    record_target_change();
}

void assignment_t::write_byte_target(time_t at) {
    sim_state& s = sim_state::instance();
    byte_t& target = s.access_bytes(_lhs);
    if (_expression != 0 && _rhs == 0) {
        s.exps(_expression)();
        if (target.changed())
            record_target_change();
        return;
    }
    if (_expression != 0)
        s.exps(_expression)();
    const auto value = static_cast<uint8_t>(copy_source_value(*this, _rhs, _rhs_type));
    target.update(value, at);
    if (target.changed())
        record_target_change();
}

void assignment_t::write_long_target(time_t at) {
    sim_state& s = sim_state::instance();
    long_t& target = s.access_longs(_lhs);
    if (_expression != 0) {
        s.exps(_expression)();
        // The closure made the write; the update only re-stamps its time.
        const bool changed = target.changed();
        target.update(target.state(), at);
        if (changed)
            target.set_changed();
    } else {
        target.update(copy_source_value(*this, _rhs, _rhs_type), at);
    }
    if (target.changed())
        record_target_change();
}

template <typename Cell>
static void restamp(Cell& cell, time_t at) {
    cell.update(cell.state(), at);
}

void assignment_t::touch_target(time_t at) {
    if (_trigger != 0 || _condition != 0)
        return;
    sim_state& s = sim_state::instance();
    std::string name;
    switch (_lhs_type) {
    case operand_t::BYTE:
        restamp(s.access_bytes(_lhs), at);
        name = s.access_bytes(_lhs).name();
        break;
    case operand_t::LONG:
        restamp(s.access_longs(_lhs), at);
        name = s.access_longs(_lhs).name();
        break;
    case operand_t::BIT:
        restamp(s.access_bits(_lhs), at);
        name = s.access_bits(_lhs).name();
        break;
    case operand_t::FLOAT:
    case operand_t::SF: return;
    }
    std::cout << " Time : " << s.sim_time() << ", Signal : " << name
              << ", Value = " << s.read_signal_val(_lhs, _lhs_type) << std::endl;
}

void assignment_t::record_target_change() {
    sim_state& s = sim_state::instance();
    std::string name;
    switch (_lhs_type) {
    case operand_t::BYTE:
        s.access_bytes(_lhs).reset_triggered();
        name = s.access_bytes(_lhs).name();
        break;
    case operand_t::LONG:
        s.access_longs(_lhs).reset_triggered();
        name = s.access_longs(_lhs).name();
        break;
    default:
        s.access_bits(_lhs).reset_triggered();
        name = s.access_bits(_lhs).name();
        break;
    }
    auto& recorder = wsim_timeseries::TimeSeriesDB::instance();
    recorder.record_signal_change(name, static_cast<int64_t>(s.read_signal_val(_lhs, _lhs_type)));
    recorder.record_cause_line(_process_name);
    if (s.monitor_watches(_lhs, _lhs_type))
        s.set_monitor_dirty();
}

void assignment_t::evaluate_system_function(bool& continue_run, bool guard_decided) {
    sim_state& s = sim_state::instance();
    const std::string name = s.sfs(_lhs).state();
    if (name != "$finish" && name != "$display" && name != "$write")
        return;
    // A triggered task keeps the decision its guard made when the trigger fired.
    bool guard = true;
    if (!guard_decided) {
        if (_cond_was_snapshotted)
            guard = _cond_snapshot;
        else if (_condition != 0)
            guard = s.exps(_condition)();
    }
    // A $finish under a false condition (if (x) $finish;) must not end the run.
    if (!guard)
        return;
    if (name == "$finish") {
        continue_run = false;
        return;
    }
    if (_rhs == 0)
        return;
    console_redirect redirect(s.display_log());
    s.exps(_rhs)();
}

void assignment_t::evaluate_property(time_t l_time) {
    sim_state& s = sim_state::instance();
    prop_t& p = s.props(_lhs);
    if (p.is_sequence())
        p.evaluate_sequence(s.sim_time());
    else
        p.evaluate_implication(s.sim_time(), l_time, _rhs, _expression);
    // $rose and its kind compare with the values at the previous clock tick.
    s.update_stable_deps(p);
}

} // namespace wsim_kernel
