// Records steps of a 200-signal design with four queue items a step until the
// timeline row limit stops the recorder; prints rows per second and peak memory.
#include "database.h"
#include "timeseries.h"

#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <iostream>

int main() {
    const auto dir = std::filesystem::temp_directory_path() / "wexla-bench";
    std::filesystem::create_directories(dir);
    Database::init((dir / "bench.db").string());
    Database& db = Database::instance();
    db.clear(true);
    const std::string source = (dir / "bench.sv").string();
    db.insertProjectStructure({source});
    db.insertModule(1, "top", source, 1, 400);
    db.insertInstance(1, "top", source, 1, 400, "top", -1, "top", true);
    const int file_id = db.getFileID(source);

    auto& rec = wsim_timeseries::TimeSeriesDB::instance();
    rec.clear();
    constexpr int kSignals = 200;
    for (int i = 0; i < kSignals; ++i) {
        const std::string name = "sig" + std::to_string(i);
        db.insertSignal(name, i + 1, source, i + 2, 8, 1, 0, "reg", "top", 1);
        rec.register_signal(name, i + 2, false, true, 8);
    }
    rec.set_line_ctx_map({{file_id, 10}, {file_id, 11}, {file_id, 12}, {file_id, 13}});

    const auto start = std::chrono::steady_clock::now();
    uint64_t time = 0;
    int calls = 0;
    while (!rec.is_recording_stopped()) {
        wsim_timeseries::QueueState queues;
        queues.active.emplace_back(file_id, 10, time, "top");
        queues.nba.emplace_back(file_id, 11, time, "top");
        queues.monitor.emplace_back(file_id, 12, time, "top");
        queues.future.emplace_back(file_id, 13, time + 5, "top");
        rec.record_signal_change("sig" + std::to_string(calls % kSignals), calls + 1);
        rec.record_timeline_step(time, calls % 4, queues);
        time += 5;
        ++calls;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const int rows = db.getRecordCount("timeline");
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::cout << "steps recorded:  " << rec.get_timeline().size() << "\n"
              << "timeline rows:   " << rows << "\n"
              << "queue rows:      " << db.getRecordCount("queuestate") << "\n"
              << "seconds:         " << seconds << "\n"
              << "rows per second: " << static_cast<long>(rows / seconds) << "\n"
              << "peak memory:     " << usage.ru_maxrss / 1024 << " MiB\n";
    std::filesystem::remove_all(dir);
}
