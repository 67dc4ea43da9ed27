// Kernel output that is not signal values: the queue dump, the console file
// and the capture of the region queues for the recorder.
#include "kernel.h"

#include <iostream>
#include <algorithm>
#include <set>

namespace wsim_kernel {

static const char* const banner_lines[] = {
    "==============================================================",
    "  wexla event-driven simulation",
    "--------------------------------------------------------------",
    "  Regions: active, inactive, NBA, monitor, observed, future",
    "  Output of $display, $write and $monitor follows below.",
    "  Every scheduler step is recorded in the project timeline.",
    "--------------------------------------------------------------",
    "  Simulation time is counted in the design's time precision.",
    "  Limits: cycles, time and delta cycles per time step.",
    "==============================================================",
};

void sim_state::write_banner(std::ostream& out) {
    for (const char* line : banner_lines)
        out << line << "\n";
}

void sim_state::open_console(bool append) {
    _console.open(_console_path, append, sim_config.max_console_bytes);
    _console_failure_logged = false;
    if (!_console.replaced().empty())
        std::cerr << "[SIM] the console file " << _console_path << " was " << _console.replaced()
                  << ": it is replaced by a new file, and nothing is written through it.\n";
    check_console();
}

void sim_state::print(std::string_view text) {
    if (!_console.is_open())
        open_console(false);
    _console.write(text);
}

void sim_state::reset_display_log() {
    open_console(false);
    write_banner(_console.stream());
    _console.stream() << "\n";
}

void sim_state::flush_console() {
    _console.flush();
    check_console();
}

void sim_state::check_console() {
    if (_console.full() && _stop_reason == stop_reason_t::NONE) {
        std::cerr << "[SIM] the console file reached its limit of " << _console.limit()
                  << " bytes at t=" << _current_simulation_time << " — stopping.\n";
        stop(stop_reason_t::CONSOLE_LIMIT);
    }
    if (!_console.failure().empty() && !_console_failure_logged) {
        _console_failure_logged = true;
        std::cerr << "[SIM] the console file " << _console_path << " " << _console.failure()
                  << " (t=" << _current_simulation_time
                  << "); the output it did not take is lost, and the run's answer says how much.\n";
    }
}

std::string sim_state::console_failure() const {
    if (_console.failure().empty())
        return "";
    return "the console file " + _console_path + " " + _console.failure() + "; " +
           std::to_string(_console.lost()) + " bytes of the run's output were lost";
}

// The statement a queued process stands at: the one it runs next.
static const assignment_t* current_statement(const process_t& p, const process_run& run) {
    const int n = p.number_of_statements();
    if (n == 0)
        return nullptr;
    const int at = run.pc < n ? run.pc : (p.type() == proc_t::ALWAYS ? 0 : n - 1);
    return p.ith_statement(at);
}

void sim_state::for_each_queued(
    const std::function<void(int queue, const process_t& p, int line, time_t when)>& f) {
    const time_t now = _current_simulation_time;
    auto process_entry = [&](int q, int proc, time_t when) {
        const process_t& p = _processes[static_cast<size_t>(proc)];
        if (const assignment_t* s = current_statement(p, _runs[static_cast<size_t>(proc)]))
            f(q, p, s->line(), when);
    };
    auto statement_entry = [&](int q, int proc, int stmt, time_t when) {
        const process_t& p = _processes[static_cast<size_t>(proc)];
        if (stmt < p.number_of_statements())
            f(q, p, p.ith_statement(stmt)->line(), when);
    };
    auto write_entry = [&](int q, const pending_write& w) {
        statement_entry(q, w.proc, w.stmt, w.when);
    };
    for (int proc : _active)
        process_entry(active, proc, now);
    for (int proc : _inactive)
        process_entry(inactive, proc, now);
    for (const nba_write& w : _nba_now)
        if (w.stmt >= 0)
            statement_entry(nba, w.proc, w.stmt, w.when);
    if (monitor_waiting())
        f(monitor, _processes[static_cast<size_t>(_monitor.proc)], _monitor.line, now);
    for (int proc : _observed)
        process_entry(observed, proc, now);
    for (const reached_assertion& r : _reached)
        statement_entry(observed, r.proc, r.stmt, now);
    // The future in time order, ties in the order they were scheduled.
    std::vector<timed_wake> wakes(_wakes);
    std::sort(wakes.begin(), wakes.end(),
              [](const timed_wake& a, const timed_wake& b) { return b > a; });
    std::vector<const pending_write*> writes;
    for (const pending_write& w : _future_writes)
        writes.push_back(&w);
    std::sort(writes.begin(), writes.end(), [](const pending_write* a, const pending_write* b) {
        return a->when != b->when ? a->when < b->when : a->seq < b->seq;
    });
    size_t wi = 0;
    for (const timed_wake& w : wakes) {
        while (wi < writes.size() && (writes[wi]->when < w.when ||
                                      (writes[wi]->when == w.when && writes[wi]->seq < w.seq)))
            write_entry(future, *writes[wi++]);
        process_entry(future, w.proc, w.when);
    }
    for (; wi < writes.size(); ++wi)
        write_entry(future, *writes[wi]);
}

void sim_state::print_state() {
    std::ostream& out = std::cout;
    static const char* const labels[num_of_queues] = {
        "   Active           : ", "   Inactive         : ", "   Non Blocking     : ",
        "   Monitor          : ", "   Observed         : ", "   Future           : "};
    std::array<std::string, num_of_queues> lines;
    std::set<int> drivers;
    for_each_queued([&](int q, const process_t& p, int line, time_t when) {
        lines[static_cast<size_t>(q)] +=
            q == active ? std::to_string(line) + ", "
                        : std::to_string(line) + "(" + std::to_string(when) + "), ";
        drivers.insert(p.line());
    });
    out << "\n   Queue Status \n   ------------ \n";
    for (int q = 0; q < num_of_queues; ++q)
        out << labels[q] << lines[static_cast<size_t>(q)] << (q == future ? "...\n" : "\n");
    out << "   Driver Processes : ";
    for (int line : drivers)
        out << line << ", ";
    out << "\n   Simulation Time  : " << _current_simulation_time << "\n\n";
}

void sim_state::capture_queue_state(wsim_timeseries::QueueState& qs) {
    qs.clear();
    std::vector<wsim_timeseries::QueueItem>* lists[num_of_queues] = {
        &qs.active, &qs.inactive, &qs.nba, &qs.monitor, &qs.observed, &qs.future};
    for_each_queued([&](int q, const process_t& p, int line, time_t when) {
        const auto [file_id, source_line] = get_line_context(line);
        lists[q]->emplace_back(file_id, source_line, when, p.instance_id());
    });
}

} // namespace wsim_kernel
