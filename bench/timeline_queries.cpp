// Times the step and window queries on runs that hold the full 20,000 timeline
// rows, for designs of few and of many signals and instances; prints median and
// worst times.
#include "database.h"
#include "timeseries.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kRepeats = 50;

// Records steps until the recorder stops at the row limit; answers the last time.
// `instances` counts top and its children.
uint64_t recordFullRun(Database& db, const std::string& source, int signals, int instances) {
    db.clear(true);
    db.insertProjectStructure({source});
    const int file_id = db.getFileID(source);
    db.insertModule(1, "top", source, 1, 400);
    db.insertModule(2, "child", source, 401, 800);
    db.insertInstance(1, "top", source, 1, 400, "top", -1, "top", true);
    std::vector<std::string> paths = {"top"};
    for (int i = 1; i < instances; ++i) {
        const std::string name = "u" + std::to_string(i);
        db.insertInstance(i + 1, name, source, 10 + i, 10 + i, "child", 1, "top." + name, false);
        paths.push_back("top." + name);
    }

    auto& rec = wsim_timeseries::TimeSeriesDB::instance();
    rec.clear();
    std::vector<std::string> names;
    for (int i = 0; i < signals; ++i) {
        const int instance = i % instances;
        const std::string name =
            (instance ? "u" + std::to_string(instance) + "." : std::string()) + "s" +
            std::to_string(i);
        db.insertSignal(name, i + 1, source, i + 2, 8, 1, 0, "reg", instance ? "child" : "top",
                        instance + 1);
        rec.register_signal(name, i + 2, false, true, 8);
        names.push_back(name);
    }
    rec.set_line_ctx_map({{file_id, 10}, {file_id, 11}, {file_id, 12}, {file_id, 13}});

    uint64_t time = 0;
    for (int call = 0; !rec.is_recording_stopped(); ++call) {
        wsim_timeseries::QueueState queues;
        const std::string& path = paths[static_cast<size_t>(call) % paths.size()];
        queues.active.emplace_back(file_id, 10, time, path);
        queues.nba.emplace_back(file_id, 11, time, path);
        queues.monitor.emplace_back(file_id, 12, time, "top");
        queues.future.emplace_back(file_id, 13, time + 5, path);
        rec.record_signal_change(names[static_cast<size_t>(call) % names.size()], call + 1);
        rec.record_timeline_step(time, call % 4, queues);
        time += 5;
    }
    return time;
}

void report(const char* what, const std::function<size_t()>& query) {
    std::vector<double> ms;
    size_t bytes = 0;
    for (int i = 0; i < kRepeats; ++i) {
        const auto start = std::chrono::steady_clock::now();
        bytes = query();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("  %-44s median %7.3f ms  worst %7.3f ms  (%zu bytes)\n", what,
                ms[ms.size() / 2], ms.back(), bytes);
}

void benchShape(Database& db, const std::string& source, int signals, int instances) {
    recordFullRun(db, source, signals, instances);
    const int steps = db.getTotalSteps();
    const int middle = steps / 2;
    const int64_t middle_time = 5 * int64_t{middle};  // one step every 5 time units
    std::printf("%d signals in %d instances: %d timeline rows, %d steps, %d queue rows\n",
                signals, instances, db.getRecordCount("timeline"), steps,
                db.getRecordCount("queuestate"));

    const std::vector<int> all = db.getSubtreeInstanceIds(1);
    report("getTimelineStep (one step)", [&] { return db.getTimelineStep(middle).size(); });
    report("getTimelineForInstanceListByStep (all)",
           [&] { return db.getTimelineForInstanceListByStep(all, middle).size(); });
    report("getTimelineForInstanceListByStep (one)",
           [&] { return db.getTimelineForInstanceListByStep({2}, middle).size(); });
    report("getTimelineWindow (10 steps, top only)", [&] {
        return db.getTimelineWindow(middle_time, middle_time + 5 * 9, {1}).size();
    });
    for (int width : {10, 50, 200}) {
        const std::string label = "getTimelineWindow (" + std::to_string(width) + " steps)";
        report(label.c_str(), [&] {
            return db.getTimelineWindow(middle_time, middle_time + 5 * (width - 1), all).size();
        });
    }
    report("getTimelineWindow (whole run)",
           [&] { return db.getTimelineWindow(0, db.getMaxTime(), all).size(); });
    report("getMinMaxStepWindow", [&] {
        db.getMinMaxStepWindow();
        return size_t{0};
    });
    std::printf("\n");
}

} // namespace

int main() {
    const auto dir = std::filesystem::temp_directory_path() / "wexla-bench-queries";
    std::filesystem::create_directories(dir);
    Database::init((dir / "bench.db").string());
    Database& db = Database::instance();
    const std::string source = (dir / "bench.sv").string();
    benchShape(db, source, 2001, 1001);
    for (int signals : {200, 20, 4})
        benchShape(db, source, signals, 5);
    std::filesystem::remove_all(dir);
}
