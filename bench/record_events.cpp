// Simulates N concurrent properties over C clocks the way a front end does
// (project set up, initial simulation, property results) and prints the time
// of each call and the peak memory. The same design as property_events.js,
// without Node, for callgrind and perf:
//
//   build/bench_record_events PROPERTIES CLOCKS
#include "api_db.h"
#include "database.h"
#include "kernel.h"

#include <sys/resource.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

namespace {

std::string propertyDesign(int properties, int clocks) {
    std::string out = "module top;\n  logic clk = 0;\n  logic on = 1;\n  logic [7:0] count = 0;\n"
                      "  always #5 clk = ~clk;\n  always @(posedge clk) count <= count + 1;\n";
    for (int i = 0; i < properties; ++i)
        out += "  p" + std::to_string(i) + ": assert property (@(posedge clk) on |-> ##" +
               std::to_string(1 + i % 4) + " count[" + std::to_string(i % 8) + "]);\n";
    out += "  initial #" + std::to_string(10L * clocks + 1) + " $finish;\nendmodule\n";
    return out;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

long peakMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

} // namespace

int main(int argc, char** argv) {
    const int properties = argc > 1 ? std::atoi(argv[1]) : 100;
    const int clocks = argc > 2 ? std::atoi(argv[2]) : 2000;
    const auto dir = std::filesystem::temp_directory_path() / "wexla-bench-events";
    std::filesystem::create_directories(dir);
    const std::string source = (dir / "events.sv").string();
    std::ofstream(source) << propertyDesign(properties, clocks);
    std::cerr.rdbuf(nullptr);
    std::cout.rdbuf(nullptr);

    auto start = std::chrono::steady_clock::now();
    initialize_project_structure({source}, (dir / "events.db").string(), "ns", "top", 0, -1, 0,
                                 4 * clocks + 1000);
    wsim_kernel::sim_state::instance().sim_config.max_sim_cycle = 4 * clocks + 1000;
    const double setup = secondsSince(start);

    start = std::chrono::steady_clock::now();
    get_ingest_only_init();
    const double run = secondsSince(start);
    const long run_peak = peakMiB();

    start = std::chrono::steady_clock::now();
    const size_t answer = std::strlen(get_property_results_db());
    const double results = secondsSince(start);

    std::clog << properties << " properties x " << clocks << " clocks\n"
              << "set-up:              " << setup << " s\n"
              << "initial simulation:  " << run << " s, peak memory " << run_peak << " MiB\n"
              << "property results:    " << results << " s, " << answer << " bytes\n"
              << "peak memory:         " << peakMiB() << " MiB\n";
    Database& db = Database::instance();
    for (const char* table : {"timeline", "propertytimeline", "assertionevents"})
        std::clog << table << " rows: " << db.getRecordCount(table) << "\n";
    std::filesystem::remove_all(dir);
}
