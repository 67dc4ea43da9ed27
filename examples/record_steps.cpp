// Records a few timeline steps of a hand-made two-signal design into a
// project database file and prints what the recorder holds.
#include "database.h"
#include "timeseries.h"

#include <filesystem>
#include <iostream>

int main(int argc, char** argv) {
    const std::string db_path = argc > 1 ? argv[1] : "out/example.db";
    std::filesystem::create_directories(std::filesystem::path(db_path).parent_path());
    Database::init(db_path);
    Database& db = Database::instance();
    db.clear(true);
    const std::string source = std::filesystem::absolute("examples/counter.sv").string();
    db.insertProjectStructure({source});
    db.insertModule(1, "counter", source, 1, 12);
    db.insertInstance(1, "counter", source, 1, 12, "counter", -1, "counter", true);
    db.insertSignal("clk", 1, source, 2, 1, 0, 1, "wire", "counter", 1);
    db.insertSignal("count", 2, source, 3, 4, 1, 0, "reg", "counter", 1);
    const int file_id = db.getFileID(source);

    auto& rec = wsim_timeseries::TimeSeriesDB::instance();
    rec.clear();
    rec.register_module("counter", "counter", "", 1);
    rec.register_signal("clk", 2, true, false, 1);
    rec.register_signal("count", 3, false, true, 4);
    rec.set_line_ctx_map({{file_id, 7}, {file_id, 9}});
    for (uint64_t t = 0; t < 8; ++t) {
        wsim_timeseries::QueueState queues;
        rec.record_signal_change("clk", static_cast<int64_t>(t % 2));
        if (t % 2) {
            queues.nba.emplace_back(file_id, 9, t, "counter");
            rec.record_signal_change("count", static_cast<int64_t>(t / 2 + 1));
        }
        queues.future.emplace_back(file_id, 7, t + 1, "counter");
        rec.record_timeline_step(t, static_cast<int>(t % 2), queues);
    }
    db.save();

    std::cout << "steps recorded: " << rec.get_timeline().size() << "\n";
    std::cout << "signal changes: " << rec.get_total_changes() << "\n";
    for (const auto& step : rec.get_timeline()) {
        std::cout << "  step " << step.step << " @" << step.simulationTime << ":";
        for (const auto& [name, value] : step.signalState)
            std::cout << " " << name << "=" << value;
        std::cout << "\n";
    }
    std::cout << "timeline rows in " << db.get_path() << ": " << db.getRecordCount("timeline")
              << "\n";
}
