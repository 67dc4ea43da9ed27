// The region scheduler: one time step per cycle. Within a step the active
// region runs until empty, then the inactive (#0) processes, then the
// non-blocking updates, again and again until nothing is left; then the
// monitor prints and the properties clocked in the step are judged.
#include "kernel.h"

#include <algorithm>
#include <iostream>

namespace wsim_kernel {

namespace {

// A region that takes more entries than this in one step is runaway.
constexpr long region_drain_limit = 50000000;

bool later_write(const pending_write& a, const pending_write& b) {
    return a.when != b.when ? a.when > b.when : a.seq > b.seq;
}

} // namespace

void sim_state::record_step(int line) {
    // Capturing the queues costs their length; skip it once nothing is kept.
    if (_recorder.is_recording_stopped())
        return;
    // Past its queue-row cap the recorder keeps no queues: none to capture.
    wsim_timeseries::QueueState qs;
    if (!_recorder.is_queue_recording_stopped())
        capture_queue_state(qs);
    _recorder.record_timeline_step(_current_simulation_time, line, std::move(qs));
}

void sim_state::stop(stop_reason_t reason) {
    if (_stop_reason == stop_reason_t::NONE)
        _stop_reason = reason;
}

// Time 0: processes that wait first reach their waits, then the continuous
// drivers settle, then initial blocks and combinational blocks run: so an
// initial block reads settled nets, and a block waiting on a net sees it
// take its first value.
void sim_state::start_processes() {
    // Before a clock's first tick, sampled-value functions look back on the
    // value each signal was declared with (IEEE 1800 16.5.1).
    for (stable_entry& e : _stable_entries) {
        const uint64_t declared = read_signal_val(e.sig_pos, e.sig_type);
        (e.procedural ? e.tick_value : e.prev_value) = declared;
        e.initialized = true;
    }
    // A property's clock given by an expression (not one whole signal)
    // compares with what it held as the run starts.
    for (int proc = 0; proc < static_cast<int>(_processes.size()); ++proc) {
        const process_t& p = _processes[static_cast<size_t>(proc)];
        for (int i = 0; p.type() == proc_t::ASSERT && i < p.number_of_statements(); ++i)
            if (p.ith_statement(i)->type() == assign_t::PROP)
                snapshot_events(proc, *p.ith_statement(i));
    }
    for (int i = 0; i < static_cast<int>(_processes.size()); ++i)
        if (_processes[static_cast<size_t>(i)].type() == proc_t::ALWAYS)
            make_ready(i);
    for (int i = 0; i < static_cast<int>(_processes.size()); ++i)
        if (_processes[static_cast<size_t>(i)].type() == proc_t::ASSIGN)
            make_ready(i);
    for (int i = 0; i < static_cast<int>(_processes.size()); ++i) {
        const proc_t t = _processes[static_cast<size_t>(i)].type();
        if (t == proc_t::INITIAL || t == proc_t::COMBO)
            make_ready(i);
    }
}

bool sim_state::drain_active() {
    long taken = 0;
    while (!_active.empty()) {
        if (++taken > region_drain_limit) {
            std::cerr << "[SIM] Queue iteration exceeded at t=" << _current_simulation_time
                      << " — aborting.\n";
            stop(stop_reason_t::QUEUE_OVERRUN);
            return false;
        }
        const int proc = _active.pop_front();
        process_run& p = _runs[static_cast<size_t>(proc)];
        p.queued = false;
        if (!_deferred_reports.empty())
            drop_reports_of(proc);
        _running_proc = proc;
        if (p.type == proc_t::ASSIGN)
            run_continuous(proc);
        else
            execute(proc);
        if (_stop_reason != stop_reason_t::NONE)
            return false;
    }
    return true;
}

void sim_state::apply_pending(const pending_write& w) {
    const process_t& p = _processes[static_cast<size_t>(w.proc)];
    for (size_t i = 0; i < w.writes.size(); ++i)
        apply_write(w.writes[i], p.name());
}

void sim_state::queue_nba(const pending_write& w) {
    // A target of no signal still stands in the region.
    if (w.writes.size() == 0)
        _nba_now.push_back({resolved_write{}, w.when, w.proc, w.stmt});
    for (size_t i = 0; i < w.writes.size(); ++i)
        _nba_now.push_back({w.writes[i], w.when, w.proc, i == 0 ? w.stmt : -1});
}

void sim_state::apply_nba_region() {
    // Two buffers that keep their room: updates may queue more for later.
    _nba_applying.swap(_nba_now);
    for (const nba_write& w : _nba_applying)
        apply_write(w.write, _processes[static_cast<size_t>(w.proc)].name());
    _nba_applying.clear();
    note_step(-1);
}

void sim_state::run_observed_region() {
    // Attempts the procedures asked for start at this tick of their
    // property's clock, or at its next.
    for (const reached_assertion& r : _reached)
        props(r.prop).request_attempt();
    _reached.clear();
    if (_observed.empty())
        return;
    std::vector<int> due;
    due.swap(_observed);
    // Properties judge the values signals had when the time step began.
    show_sampled_values();
    for (int proc : due) {
        _runs[static_cast<size_t>(proc)].queued = false;
        run_property(proc);
        note_step(_processes[static_cast<size_t>(proc)].ith_statement(0)->line());
    }
    show_current_values();
    note_step(-1);
}

void sim_state::run_final_processes() {
    for (int i = 0; i < static_cast<int>(_runs.size()); ++i) {
        process_run& p = _runs[static_cast<size_t>(i)];
        if (p.type != proc_t::FINAL || p.state == proc_state::DONE)
            continue;
        execute(i);
        p.state = proc_state::DONE;
    }
}

// One time step, whose processes are already queued. Answers false when the
// run stops.
bool sim_state::run_time_step() {
    for (int round = 0;; ++round) {
        if (round > sim_config.max_delta_cycles) {
            std::cerr << "[SIM] Max delta cycles (" << sim_config.max_delta_cycles
                      << ") reached at t=" << _current_simulation_time << " — stopping.\n";
            stop(stop_reason_t::DELTA_LIMIT);
            return false;
        }
        if (!drain_active())
            return false;
        settle_disables();
        if (!_inactive.empty()) {
            for (int proc : _inactive) {
                _runs[static_cast<size_t>(proc)].queued = false;
                make_ready(proc);
            }
            _inactive.clear();
            continue;
        }
        if (!_nba_now.empty()) {
            apply_nba_region();
            settle_disables();
            continue;
        }
        break;
    }
    print_deferred_reports();
    run_monitor_region();
    run_observed_region();
    note_step(-1);
    return true;
}

// Moves everything due at the earliest pending time into the active region.
// Answers false when nothing is pending.
bool sim_state::advance_time() {
    if (_wakes.empty() && _future_writes.empty())
        return false;
    time_t next = end_of_time;
    if (!_wakes.empty())
        next = _wakes.front().when;
    if (!_future_writes.empty())
        next = std::min(next, _future_writes.front().when);
    if (next > _time_limit) {
        std::cerr << "Max simulation time " << sim_config.max_sim_time << " "
                  << sim_config.time_unit << " (" << _time_limit << " ticks) reached — stopping."
                  << std::endl;
        stop(stop_reason_t::TIME_LIMIT);
        return false;
    }
    if (next == end_of_time) {
        std::cerr << "[SIM] what is left to happen lies past the last time the simulation counts ("
                  << end_of_time << ") — stopping.\n";
        stop(stop_reason_t::TIME_LIMIT);
        return false;
    }
    _current_simulation_time = next;
    ++_step_id;
    begin_sampling_step();
    while (!_wakes.empty() && _wakes.front().when == next) {
        std::pop_heap(_wakes.begin(), _wakes.end(), std::greater<>());
        const int proc = _wakes.back().proc;
        _wakes.pop_back();
        make_ready(proc);
    }
    while (!_future_writes.empty() && _future_writes.front().when == next) {
        std::pop_heap(_future_writes.begin(), _future_writes.end(), later_write);
        pending_write w = std::move(_future_writes.back());
        _future_writes.pop_back();
        if (w.nba) {
            queue_nba(w);
            continue;
        }
        // A delayed driver keeps only its latest value in flight.
        if (_runs[static_cast<size_t>(w.proc)].type == proc_t::ASSIGN &&
            _timings[static_cast<size_t>(w.proc)].wake_time != w.seq)
            continue;
        apply_pending(w);
    }
    note_step(-1);
    return true;
}

void sim_state::main_loop() {
    int64_t total_cycles = 0;
    while (_stop_reason == stop_reason_t::NONE) {
        if (_finish_requested) {
            stop(stop_reason_t::FINISH);
            break;
        }
        if (++total_cycles > sim_config.max_sim_cycle) {
            std::cerr << "[SIM] Max simulation cycles (" << sim_config.max_sim_cycle
                      << ") reached at t=" << _current_simulation_time << " — stopping.\n";
            halt_simulation();
            stop(stop_reason_t::CYCLE_LIMIT);
            break;
        }
        if (sim_config.infinite_loop_abort) {
            stop(stop_reason_t::CYCLE_LIMIT);
            break;
        }
        if (!_active.empty() || !_inactive.empty() || !_nba_now.empty()) {
            // The first step of a fresh run: time 0, already queued.
        } else if (!advance_time()) {
            if (_stop_reason == stop_reason_t::NONE)
                stop(stop_reason_t::NO_MORE_EVENTS);
            break;
        }
        if (!run_time_step())
            break;
    }
    if (_stop_reason == stop_reason_t::FINISH || _stop_reason == stop_reason_t::NO_MORE_EVENTS) {
        finish_simulation();
        run_final_processes();
        print_deferred_reports();
    }
}

void sim_state::run() {
    // The rows the run records share one transaction, however the run ends.
    struct HeldWrites {
        wsim_timeseries::TimeSeriesDB& recorder;
        HeldWrites(wsim_timeseries::TimeSeriesDB& r, bool rows_only) : recorder(r) {
            r.hold_writes(rows_only);
        }
        ~HeldWrites() { recorder.release_writes(); }
    } held(_recorder, _props.size() <= 1);
    _time_limit = sim_config.max_sim_time == 0
                      ? end_of_time
                      : tick_scale().lastTickWithin(sim_config.max_sim_time);
    write_banner(std::cout);
    std::cout.flush();
    const bool fresh = !_started;
    // A resumed run keeps what the design printed before the halt.
    if (fresh)
        reset_display_log();
    else
        open_console(true);
    // The host may read the console file as soon as the run returns.
    struct ConsoleFlushed {
        sim_state& state;
        ~ConsoleFlushed() { state.flush_console(); }
    } flushed{*this};

    if (fresh) {
        std::cout << "1. Design Preparation" << std::endl;
        _stop_reason = stop_reason_t::NONE;
        _current_simulation_time = 0;
        _started = true;
        // Static variables take their initial values before any process
        // starts (IEEE 1800 6.8); the recorder shows them from the first step.
        for (const static_initialiser& init : _static_initialisers)
            set_initial_value(init.target, eval(init.expr));
        // Before their first clock, properties look back on the values the
        // signals were declared with.
        for (const prop_t& p : _props)
            update_stable_deps(p);
        start_processes();
        std::cout << "2. Simulation Begins" << std::endl;
        note_step(-1);
        main_loop();
    } else {
        std::cout << "2. Simulation Begins" << std::endl;
        if (_resume_simulation && !_simulation_finished) {
            _resume_simulation = false;
            _stop_reason = stop_reason_t::NONE;
            main_loop();
        }
    }
    // What was left waiting when the run stopped.
    print_state();
}

} // namespace wsim_kernel
