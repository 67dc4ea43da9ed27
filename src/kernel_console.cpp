// Kernel output that is not signal values: the queue dump, the console file
// and the capture of the region queues for the recorder.
#include "kernel.h"

#include <iostream>
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
    if (_display_log.is_open())
        _display_log.close();
    _display_log.clear();
    if (_console_path.empty())
        return;
    _display_log.open(_console_path, append ? std::ios::out | std::ios::app
                                            : std::ios::out | std::ios::trunc);
}

std::ofstream& sim_state::display_log() {
    if (!_display_log.is_open())
        open_console(false);
    return _display_log;
}

void sim_state::reset_display_log() {
    open_console(false);
    if (_display_log.is_open()) {
        write_banner(_display_log);
        _display_log << "\n";
        _display_log.flush();
    }
}

static void print_lines_only(std::ostream& out, const statement_queue& q) {
    for (const assignment_t* a : q)
        out << a->line() << ", ";
}

static void print_lines_and_times(std::ostream& out, const statement_queue& q) {
    for (const assignment_t* a : q)
        out << a->line() << "(" << a->time() << "), ";
}

void sim_state::print_state() {
    std::ostream& out = std::cout;
    out << std::endl;
    out << "   Queue Status " << std::endl;
    out << "   ------------ " << std::endl;
    out << "   Active           : ";
    print_lines_only(out, _queues[active]);
    out << std::endl;
    out << "   Inactive         : ";
    print_lines_and_times(out, _queues[inactive]);
    out << std::endl;
    out << "   Non Blocking     : ";
    print_lines_and_times(out, _queues[nba]);
    out << std::endl;
    out << "   Monitor          : ";
    print_lines_and_times(out, _queues[monitor]);
    out << std::endl;
    out << "   Observed         : ";
    print_lines_and_times(out, _queues[observed]);
    out << std::endl;
    out << "   Future           : ";
    print_lines_and_times(out, _queues[future]);
    out << "..." << std::endl;
    std::set<int> drivers;
    for (const statement_queue& q : _queues)
        for (const assignment_t* a : q)
            drivers.insert(a->process());
    out << "   Driver Processes : ";
    for (int line : drivers)
        out << line << ", ";
    out << std::endl;
    out << "   Simulation Time  : " << _current_simulation_time << std::endl;
    out << std::endl;
}

void sim_state::capture_queue_state(wsim_timeseries::QueueState& qs) {
    qs.clear();
    std::vector<wsim_timeseries::QueueItem>* lists[num_of_queues] = {
        &qs.active, &qs.inactive, &qs.nba, &qs.monitor, &qs.observed, &qs.future};
    auto& recorder = wsim_timeseries::TimeSeriesDB::instance();
    for (int q = 0; q < num_of_queues; ++q) {
        for (const assignment_t* a : _queues[static_cast<size_t>(q)]) {
            const auto [file_id, line] = get_line_context(a->line());
            std::string instance = a->instance_id();
            if (instance.empty()) {
                auto it = _line_instance_map.find(a->line());
                if (it != _line_instance_map.end() && !it->second.empty())
                    instance = it->second.front();
            }
            if (instance.empty())
                instance = recorder.resolve_instance_for_line(a->line());
            lists[q]->emplace_back(file_id, line, a->time(), std::move(instance));
        }
    }
}

} // namespace wsim_kernel
