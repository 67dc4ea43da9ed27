// The region scheduler: preparation at time 0, then one time step per cycle
// through the active, inactive, NBA, monitor and observed regions.
#include "kernel.h"

#include <algorithm>
#include <iostream>

namespace wsim_kernel {

namespace {

constexpr int region_drain_limit = 1000;
constexpr int ca_fixpoint_passes = 1000;
constexpr int combo_fixpoint_passes = 100;
constexpr time_t max_sane_init_time = 1000000000;

bool is_blocking_or_nba(assign_t t) { return t == assign_t::BA || t == assign_t::NBA; }

// Runs a statement that the scheduler took from a queue as due now.
void fire_due(assignment_t& a, time_t now, bool& continue_run) {
    a.set_ever_fired(true);
    a.set_last_fired(now);
    a.evaluate(continue_run);
}

// Shows the sampled values in the stores for the life of the guard.
class sampled_values_shown {
public:
    explicit sampled_values_shown(sim_state& s) : _s(s) { _s.show_sampled_values(); }
    ~sampled_values_shown() { _s.show_current_values(); }
    sampled_values_shown(const sampled_values_shown&) = delete;
    sampled_values_shown& operator=(const sampled_values_shown&) = delete;

private:
    sim_state& _s;
};

} // namespace

struct sim_state::run_context {
    bool continue_run = true;
    bool fresh_start = false;
    int total_cycles = 0;
    int simulation_cycle = 0;
    wsim_timeseries::QueueState qs;
};

template <typename F>
void sim_state::for_each_statement(F&& f) {
    for (assignment_t* a : _interleaved)
        f(*a);
    for (process_t& p : _processes)
        for (int i = 0; i < p.number_of_statements(); ++i)
            f(*p.ith_statement(i));
}

void sim_state::record_step(run_context& rc, int line) {
    auto& recorder = wsim_timeseries::TimeSeriesDB::instance();
    // Capturing the queues costs their length; skip it once nothing is kept.
    if (recorder.is_recording_stopped())
        return;
    capture_queue_state(rc.qs);
    recorder.record_timeline_step(_current_simulation_time, line, rc.qs);
}

void sim_state::stop(run_context& rc, stop_reason_t reason) {
    rc.continue_run = false;
    if (_stop_reason == stop_reason_t::NONE)
        _stop_reason = reason;
}

void sim_state::sort_future() {
    statement_queue& q = _queues[future];
    std::stable_sort(q.begin(), q.end(),
                     [](const assignment_t* a, const assignment_t* b) { return a->time() < b->time(); });
}

// Moves every future entry due now into its region. Answers whether any was.
bool sim_state::transfer_due_future(run_context&) {
    statement_queue& q = _queues[future];
    statement_queue later;
    std::vector<assignment_t*> due;
    for (assignment_t* a : q) {
        if (a->time() == _current_simulation_time)
            due.push_back(a);
        else
            later.push_back(a);
    }
    q.swap(later);
    for (assignment_t* a : due) {
        a->commit();
        a->out_of_future();
    }
    return !due.empty();
}

bool sim_state::drain_queue(run_context& rc, int q, int limit) {
    statement_queue& queue = _queues[static_cast<size_t>(q)];
    int taken = 0;
    while (true) {
        if (queue.empty())
            return true;
        if (taken > limit) {
            std::cout << "Queue iteration exceeded — aborting." << std::endl;
            stop(rc, stop_reason_t::QUEUE_OVERRUN);
            return false;
        }
        assignment_t* a = queue.front();
        queue.pop_front();
        ++taken;
        if (a->time() != _current_simulation_time)
            return true;
        a->out_of_future();
        fire_due(*a, _current_simulation_time, rc.continue_run);
        record_step(rc, a->line());
        if (!rc.continue_run)
            return false;
    }
}

void sim_state::interleave_processes() {
    for_each_statement([](assignment_t& a) {
        (void)a;
        assert(a.time() < max_sane_init_time || a.is_static_scheduled());
    });
    _interleaved.clear();
    if (_processes.empty()) {
        std::cout << "No processes found for Simulation" << std::endl;
        return;
    }
    for (int k = 0;; ++k) {
        bool any = false;
        for (process_t& p : _processes) {
            // An empty process contributes nothing.
            if (k < p.number_of_statements()) {
                _interleaved.push_back(p.ith_statement(k));
                any = true;
            }
        }
        if (!any)
            break;
    }
}

void sim_state::reset_all_changed_flags() {
    for (size_t i = 1; i < _bits.size(); ++i)
        _bits[i].reset_changed();
    for (size_t i = 1; i < _bytes.size(); ++i)
        _bytes[i].reset_changed();
    for (size_t i = 1; i < _longs.size(); ++i)
        _longs[i].reset_changed();
}

void sim_state::mark_nba_lhs_changed() {
    for_each_statement([this](assignment_t& a) {
        if (a.type() != assign_t::NBA || !a.ever_fired() ||
            a.last_fired() != _current_simulation_time || a.lhs_index() == 0)
            return;
        switch (a.lhs_type()) {
        case operand_t::BYTE: access_bytes(a.lhs_index()).set_changed(); break;
        case operand_t::LONG: access_longs(a.lhs_index()).set_changed(); break;
        case operand_t::BIT: access_bits(a.lhs_index()).set_changed(); break;
        case operand_t::FLOAT:
        case operand_t::SF: break;
        }
    });
}

bool sim_state::target_changed(const assignment_t& a) {
    if (!a.names_signal_cells() || a.lhs_index() == 0)
        return false;
    switch (a.lhs_type()) {
    case operand_t::LONG: return access_longs(a.lhs_index()).changed();
    case operand_t::BYTE: return access_bytes(a.lhs_index()).changed();
    case operand_t::BIT: return access_bits(a.lhs_index()).changed();
    case operand_t::FLOAT:
    case operand_t::SF: break;
    }
    return false;
}

int64_t sim_state::target_value(const assignment_t& a) {
    return static_cast<int64_t>(read_signal_val(a.lhs_index(), a.lhs_type()));
}

std::string sim_state::target_name(const assignment_t& a) {
    switch (a.lhs_type()) {
    case operand_t::LONG: return access_longs(a.lhs_index()).name();
    case operand_t::BYTE: return access_bytes(a.lhs_index()).name();
    default: return access_bits(a.lhs_index()).name();
    }
}

// Evaluates a fixpoint-loop entry with the initial mark set for the call.
static void evaluate_as_initial(assignment_t& a, time_t now, bool& continue_run) {
    const bool was_initial = a.is_initial();
    a.set_initial();
    a.evaluate(continue_run);
    if (!was_initial)
        a.clear_initial();
    a.set_last_fired(now);
}

// Queues, in the active region, every statement of `kind` that is neither
// initial nor already waiting: one pass of a fixpoint loop.
void sim_state::queue_idle_statements(assign_t kind) {
    statement_queue& queue = _queues[active];
    for_each_statement([&queue, kind](assignment_t& a) {
        if (a.type() == kind && !a.is_initial() && !a.is_in_future()) {
            a.in_future();
            queue.push_back(&a);
        }
    });
}

void sim_state::flush_ca_assignments(bool& continue_run, wsim_timeseries::QueueState&,
                                     time_t) {
    statement_queue& queue = _queues[active];
    for (int pass = 0; pass < ca_fixpoint_passes; ++pass) {
        queue_idle_statements(assign_t::CA);
        bool any_changed = false;
        while (!queue.empty()) {
            assignment_t* a = queue.front();
            queue.pop_front();
            a->out_of_future();
            evaluate_as_initial(*a, _current_simulation_time, continue_run);
            any_changed = target_changed(*a) || any_changed;
        }
        if (!any_changed)
            return;
        reset_all_changed_flags();
    }
}

void sim_state::force_evaluate_combo(bool& continue_run, wsim_timeseries::QueueState& qs,
                                     time_t record_time) {
    statement_queue& queue = _queues[active];
    auto& recorder = wsim_timeseries::TimeSeriesDB::instance();
    for (int pass = 0; pass < combo_fixpoint_passes; ++pass) {
        queue_idle_statements(assign_t::COMBO);
        bool any_changed = false;
        while (!queue.empty()) {
            assignment_t* a = queue.front();
            queue.pop_front();
            a->out_of_future();
            if (a->time() != _current_simulation_time)
                continue;
            evaluate_as_initial(*a, _current_simulation_time, continue_run);
            const bool changed = target_changed(*a);
            if (changed) {
                recorder.record_signal_change_force(target_name(*a), target_value(*a));
                if (!recorder.is_recording_stopped()) {
                    capture_queue_state(qs);
                    recorder.record_timeline_step(record_time, a->line(), qs);
                }
            }
            a->set_oscillating(changed);
            any_changed = changed || any_changed;
        }
        if (!any_changed)
            return;
        reset_all_changed_flags();
    }
}

void sim_state::prepare_design_and_pre_simulate(run_context& rc) {
    const time_t now = _current_simulation_time;
    auto reset_insane_times = [](assignment_t& a) {
        if (a.time() >= max_sane_init_time && !a.is_static_scheduled())
            a.reset_sim_time();
    };
    for (process_t& p : _processes)
        for (int i = 0; i < p.number_of_statements(); ++i)
            reset_insane_times(*p.ith_statement(i));
    interleave_processes();
    for (process_t& p : _processes)
        for (int i = 0; i < p.number_of_statements(); ++i)
            p.ith_statement(i)->rescale_static_time();
    for_each_statement(reset_insane_times);

    for (assignment_t* a : _interleaved)
        a->commit_to_future();
    record_step(rc, -1);

    flush_ca_assignments(rc.continue_run, rc.qs, now);
    reset_all_changed_flags();

    sort_future();
    if (!_queues[future].empty()) {
        transfer_due_future(rc);
        record_step(rc, -1);
    }

    statement_queue& inactive_queue = _queues[inactive];
    if (!inactive_queue.empty()) {
        while (!inactive_queue.empty()) {
            assignment_t* a = inactive_queue.front();
            inactive_queue.pop_front();
            a->out_of_future();
            const bool plain_sf = a->type() == assign_t::SF && a->trigger_index() == 0 &&
                                  !a->is_static_scheduled();
            if (a->time() == 0 && !plain_sf)
                fire_due(*a, now, rc.continue_run);
        }
        record_step(rc, -1);
    }

    statement_queue& nba_queue = _queues[nba];
    if (!nba_queue.empty()) {
        g_nba_draining = true;
        snapshot_pre_nba();
        while (!nba_queue.empty()) {
            assignment_t* a = nba_queue.front();
            nba_queue.pop_front();
            if (a->time() != 0) {
                a->in_future();
                _queues[future].push_back(a);
            } else {
                a->out_of_future();
                fire_due(*a, now, rc.continue_run);
            }
        }
        clear_pre_nba_snapshot();
        g_nba_draining = false;
        mark_nba_lhs_changed();
        reset_all_changed_flags();
        record_step(rc, -1);
    }

    flush_ca_assignments(rc.continue_run, rc.qs, now);
    reset_all_changed_flags();
    // A monitor started at time 0 prints here, once; the first cycle of the
    // main loop must not print it again.
    if (monitor_triggered()) {
        fire_monitor();
        clear_monitor_dirty();
    }

    for (assignment_t* a : _interleaved) {
        if (is_blocking_or_nba(a->type()) && a->trigger_index() == 0 && !a->is_initial() &&
            !a->is_in_future())
            a->commit_to_future();
    }

    force_evaluate_combo(rc.continue_run, rc.qs, now);
    flush_ca_assignments(rc.continue_run, rc.qs, now);
    record_step(rc, -1);

    statement_queue& monitor_queue = _queues[monitor];
    while (!monitor_queue.empty()) {
        assignment_t* a = monitor_queue.front();
        monitor_queue.pop_front();
        if (a->time() == now)
            a->evaluate(rc.continue_run);
    }
}

void sim_state::drain_nba_region(run_context& rc) {
    statement_queue& queue = _queues[nba];
    if (queue.empty())
        return;
    g_nba_draining = true;
    snapshot_pre_nba();
    while (!queue.empty()) {
        assignment_t* a = queue.front();
        queue.pop_front();
        if (a->time() != _current_simulation_time)
            break; // a stale entry ends the region and is dropped
        a->out_of_future();
        fire_due(*a, _current_simulation_time, rc.continue_run);
    }
    clear_pre_nba_snapshot();
    g_nba_draining = false;
    reset_all_changed_flags();
    record_step(rc, -1);
}

void sim_state::run_monitor_region(run_context& rc) {
    statement_queue& queue = _queues[monitor];
    if (queue.empty())
        return;
    while (!queue.empty()) {
        assignment_t* a = queue.front();
        queue.pop_front();
        if (a->time() < _current_simulation_time) {
            a->out_of_future();
            continue;
        }
        if (a->time() > _current_simulation_time) {
            queue.push_front(a);
            break;
        }
        fire_due(*a, _current_simulation_time, rc.continue_run);
        record_step(rc, a->line());
        if (a->is_finish(this) && !rc.continue_run)
            finish_simulation();
        if (!rc.continue_run)
            break;
    }
    record_step(rc, -1);
}

void sim_state::run_observed_region(run_context& rc) {
    statement_queue& queue = _queues[observed];
    if (!queue.empty()) {
        // Properties judge the values signals had when the time step began,
        // not what this step's writes left. Only properties run here.
        sampled_values_shown sampled(*this);
        const size_t held = queue.size();
        for (size_t i = 0; i < held && !queue.empty(); ++i) {
            assignment_t* a = queue.front();
            queue.pop_front();
            fire_due(*a, _current_simulation_time, rc.continue_run);
            record_step(rc, a->line());
            if (!rc.continue_run)
                break;
        }
        reset_all_stable_glitches();
        record_step(rc, -1);
    }
    statement_queue kept;
    for (assignment_t* a : queue) {
        if (a->time() <= _current_simulation_time)
            a->out_of_future();
        else
            kept.push_back(a);
    }
    queue.swap(kept);
}

void sim_state::rearm_statements() {
    for_each_statement([](assignment_t& a) { a.set_oscillating(false); });
    for_each_statement([](assignment_t& a) {
        const bool triggered = a.trigger_index() != 0;
        if (a.is_static_scheduled() && a.ever_fired())
            return;
        if (a.is_in_future())
            return;
        if (a.type() == assign_t::SF && a.ever_fired() && !triggered)
            return;
        if (a.is_initial()) {
            const bool triggered_sf = a.type() == assign_t::SF && triggered;
            const bool untriggered_write =
                !triggered && (is_blocking_or_nba(a.type()) || a.type() == assign_t::COMBO);
            if (!triggered_sf && !untriggered_write)
                return;
        }
        a.commit_to_future();
    });
}

// One time step. Answers false when the run stops.
bool sim_state::run_one_cycle(run_context& rc) {
    if (!rc.continue_run)
        return false;
    ++rc.total_cycles;
    if (rc.total_cycles > sim_config.max_sim_cycle) {
        std::cerr << "[SIM] Max simulation cycles (" << sim_config.max_sim_cycle
                  << ") reached at t=" << _current_simulation_time << " — stopping.\n";
        halt_simulation();
        const bool idle = std::all_of(_queues.begin(), _queues.end(),
                                      [](const statement_queue& q) { return q.empty(); });
        stop(rc, idle ? stop_reason_t::QUEUES_DRAINED : stop_reason_t::CYCLE_LIMIT);
        return false;
    }
    if (sim_config.infinite_loop_abort) {
        stop(rc, stop_reason_t::CYCLE_LIMIT);
        return false;
    }
    print_state();
    if (sim_config.max_sim_time != 0 && _current_simulation_time >= sim_config.max_sim_time) {
        std::cout << "Max simulation time " << sim_config.max_sim_time << " reached — stopping."
                  << std::endl;
        stop(rc, stop_reason_t::TIME_LIMIT);
        return false;
    }
    std::cout << "Simulation Cycle = " << rc.simulation_cycle << std::endl;

    sort_future();
    if (!_queues[future].empty()) {
        const time_t front = _queues[future].front()->time();
        sample_time_step(front);
        if (front != _current_simulation_time)
            rc.simulation_cycle = 0;
        _current_simulation_time = front;
        if (_current_simulation_time != _delta_time) {
            _delta_time = _current_simulation_time;
            _delta_count = 0;
        } else if (++_delta_count > sim_config.max_delta_cycles) {
            std::cerr << "[SIM] Max delta cycles (" << sim_config.max_delta_cycles
                      << ") reached at t=" << _current_simulation_time << " — stopping.\n";
            stop(rc, stop_reason_t::DELTA_LIMIT);
            return false;
        }
        transfer_due_future(rc);
        record_step(rc, -1);
    }
    const time_t now = _current_simulation_time;

    if (!drain_queue(rc, active, region_drain_limit))
        return false;
    flush_ca_assignments(rc.continue_run, rc.qs, now);
    if (!drain_queue(rc, inactive, region_drain_limit))
        return false;
    const bool monitor_due = monitor_triggered();
    force_evaluate_combo(rc.continue_run, rc.qs, now);
    flush_ca_assignments(rc.continue_run, rc.qs, now);
    for (assignment_t* a : _queues[monitor])
        if (a->type() == assign_t::SF && a->condition_index() != 0)
            a->snapshot_condition();

    drain_nba_region(rc);
    mark_nba_lhs_changed();
    flush_ca_assignments(rc.continue_run, rc.qs, now);
    force_evaluate_combo(rc.continue_run, rc.qs, now);
    if (!wsim_timeseries::TimeSeriesDB::instance().is_recording_stopped())
        capture_queue_state(rc.qs);
    flush_ca_assignments(rc.continue_run, rc.qs, now);

    run_monitor_region(rc);
    // Changes made by the NBA region count too: a monitored register written
    // with <= must not go unreported.
    if (monitor_due || monitor_triggered())
        fire_monitor();
    flush_ca_assignments(rc.continue_run, rc.qs, now);
    run_observed_region(rc);

    if (rc.continue_run) {
        rearm_statements();
        reset_all_changed_flags();
        reset_all_edge_flags();
        clear_monitor_dirty();
        if (sim_config.infinite_loop_abort)
            stop(rc, stop_reason_t::CYCLE_LIMIT);
        record_step(rc, -1);
    }
    ++rc.simulation_cycle;
    return true;
}

void sim_state::main_loop(run_context& rc) {
    record_step(rc, -1);
    while (run_one_cycle(rc)) {
    }
    rc.continue_run = false;
    // Nothing but $finish clears the flag without naming a reason.
    if (_stop_reason == stop_reason_t::NONE) {
        _stop_reason = stop_reason_t::FINISH;
        finish_simulation();
    }
}

void sim_state::run() {
    write_banner(std::cout);
    std::cout.flush();
    _current_simulation_time = 0;
    // A closure that threw out of the last run may have left the NBA region open.
    g_nba_draining = false;
    _pre_nba_active = false;
    const bool fresh = !_halt_simulation && !_resume_simulation;
    // A resumed run keeps what the design printed before the halt.
    if (fresh)
        reset_display_log();
    else
        open_console(true);

    run_context rc;
    if (fresh) {
        std::cout << "1. Design Preparation" << std::endl;
        _stop_reason = stop_reason_t::NONE;
        if (has_properties()) {
            // Before their first clock, properties look back on the values
            // the signals were declared with.
            take_sampled_values(0);
            for (const prop_t& p : _props)
                update_stable_deps(p);
        }
        prepare_design_and_pre_simulate(rc);
        rc.fresh_start = true;
    }
    std::cout << "2. Simulation Begins" << std::endl;
    if (rc.fresh_start || (_resume_simulation && !_simulation_finished)) {
        _stop_reason = stop_reason_t::NONE;
        main_loop(rc);
    }
}

} // namespace wsim_kernel
