// Simulates SystemVerilog text through the orchestrator and reads back what
// the recorder saw.
#pragma once

#include "core.h"
#include "database.h"
#include "kernel.h"
#include "test_support.h"
#include "timeseries.h"

#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace wexla_test {

class Simulation {
public:
    // `max_time` 0 leaves the run to the cycle limit.
    explicit Simulation(uint64_t max_time = 0) {
        Database::init(dir_.file("project.db"));
        auto& config = wsim_kernel::sim_state::instance().sim_config;
        config = wsim_kernel::sim_state::SimConfig{};
        config.max_sim_time = max_time;
    }

    SimulationResult run(const std::string& text) {
        WexlaCore::instance().input(text);
        // The project has no design-structure rows, so every recorded row is
        // refused by the database; keep those complaints out of the log.
        const wexla_test::StreamRedirect toNowhere(std::cerr, nullptr);
        return WexlaCore::instance().simulate();
    }

    // The value a signal had in the last recorded step at or before `time`.
    static int64_t valueAt(const std::string& name, uint64_t time) {
        int64_t value = -1;
        for (const auto& step : wsim_timeseries::TimeSeriesDB::instance().get_timeline()) {
            if (step.simulationTime > time)
                break;
            auto it = step.signalState.find(name);
            if (it != step.signalState.end())
                value = it->second;
        }
        return value;
    }

    // The times at which a signal took a new value, with those values.
    static std::map<uint64_t, int64_t> changes(const std::string& name) {
        std::map<uint64_t, int64_t> out;
        bool first = true;
        int64_t last = 0;
        for (const auto& step : wsim_timeseries::TimeSeriesDB::instance().get_timeline()) {
            auto it = step.signalState.find(name);
            if (it == step.signalState.end())
                continue;
            if (first || it->second != last)
                out[step.simulationTime] = it->second;
            first = false;
            last = it->second;
        }
        return out;
    }

    std::string consolePath() const { return (dir_.path() / "wexla_sim_console.txt").string(); }
    const TempDir& dir() const { return dir_; }

private:
    TempDir dir_;
};

// "time=RESULT ..." for every assertion event of one label, in order.
inline std::string eventsOf(const std::string& label) {
    std::string out;
    for (const auto& e : wsim_timeseries::TimeSeriesDB::instance().get_all_events())
        if (e.label == label)
            out += (out.empty() ? "" : " ") + std::to_string(e.time) + "=" + e.result;
    return out;
}

// Each label's events, as eventsOf gives them.
inline void expectEvents(const std::vector<std::pair<std::string, std::string>>& expected) {
    for (const auto& [label, events] : expected)
        EXPECT_EQ(eventsOf(label), events) << label;
}

inline const wsim_timeseries::PropertyResult* resultOf(const std::string& label) {
    for (const auto& r : wsim_timeseries::TimeSeriesDB::instance().get_property_results())
        if (r.label == label)
            return &r;
    return nullptr;
}

// line|antecedent|consequent|final result|failures of one property.
inline std::string summaryOf(const std::string& label) {
    const auto* r = resultOf(label);
    return r ? std::to_string(r->line) + "|" + r->antecedentSignal + "|" + r->consequentSignal +
                   "|" + r->finalResult + "|" + std::to_string(r->failures.size())
             : "<none>";
}

// What the design printed: the console file without its banner.
inline std::string printedOutput(const std::string& console_path) {
    const std::string text = readFile(console_path);
    std::ostringstream banner;
    wsim_kernel::sim_state::write_banner(banner);
    const std::string head = banner.str() + "\n";
    return text.rfind(head, 0) == 0 ? text.substr(head.size()) : "<no banner>" + text;
}

} // namespace wexla_test
