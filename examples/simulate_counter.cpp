// Simulates the example design through the engine until it ends itself, and
// prints the run's summary, the final values of the top module's signals, what
// the design printed, and where the console file and the project database are.
#include "core.h"
#include "database.h"
#include "kernel.h"
#include "timeseries.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

namespace {

// The design's own lines from the console file, after its banner.
void printConsole(const std::string& path) {
    std::ifstream console(path);
    std::string line;
    bool banner_done = false;
    while (std::getline(console, line)) {
        if (!banner_done) {
            banner_done = line.empty();
            continue;
        }
        std::cout << "  " << line << "\n";
    }
}

} // namespace

int main(int argc, char** argv) {
    const std::string db_path = argc > 1 ? argv[1] : "out/example.db";
    const std::string design_path = argc > 2 ? argv[2] : "examples/counter.sv";
    std::ifstream design(design_path);
    if (!design) {
        std::cerr << "cannot read " << design_path << "\n";
        return 1;
    }
    std::stringstream text;
    text << design.rdbuf();

    const std::filesystem::path db_file = std::filesystem::absolute(db_path);
    std::filesystem::create_directories(db_file.parent_path());

    // The design's structure rows come with compiling a file list; without
    // them the database refuses the recorded rows, and says so on stderr.
    const std::filesystem::path log_path = db_file.parent_path() / "example.log";
    std::ofstream log(log_path);
    std::streambuf* saved = std::cerr.rdbuf(log.rdbuf());
    Database::init(db_file.string());
    Database& db = Database::instance();
    db.clear(true);

    WexlaCore& core = WexlaCore::instance();
    core.input(text.str());
    const SimulationResult result = core.simulate();
    db.save();
    std::cerr.rdbuf(saved);

    const auto& recorder = wsim_timeseries::TimeSeriesDB::instance();
    std::cout << "design:          " << design_path << "\n"
              << "success:         " << (result.success ? "yes" : "no") << "\n";
    if (!result.success)
        std::cout << "error:           " << result.error_message << "\n";
    std::cout << "final time:      " << result.final_time << "\n"
              << "steps recorded:  " << recorder.get_timeline().size() << "\n"
              << "signal changes:  " << result.total_changes << "\n"
              << "final values:\n";
    for (const auto& [name, value] : recorder.get_current_signal_state())
        std::cout << "  " << name << " = " << value << "\n";
    const std::string console_path = wsim_kernel::sim_state::instance().console_path();
    std::cout << "stopped by:      "
              << wsim_kernel::stop_reason_text(wsim_kernel::sim_state::instance().stop_reason())
              << "\n"
              << "console output:\n";
    printConsole(console_path);
    std::cout << "console file:    " << console_path << "\n"
              << "database:        " << db.get_path() << "\n"
              << "database log:    " << log_path.string() << "\n";
    return result.success ? 0 : 1;
}
