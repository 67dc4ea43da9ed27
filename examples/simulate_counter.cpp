// Simulates the example design through the engine and prints the run's
// summary, the final values of the top module's signals, and where the
// console file and the project database are.
#include "core.h"
#include "database.h"
#include "kernel.h"
#include "timeseries.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

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

    // Stop at 200 time units even before $finish is modelled.
    wsim_kernel::sim_state::instance().sim_config.max_sim_time = 200;
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
    std::cout << "console file:    " << wsim_kernel::sim_state::instance().console_path() << "\n"
              << "database:        " << db.get_path() << "\n"
              << "database log:    " << log_path.string() << "\n";
    return result.success ? 0 : 1;
}
