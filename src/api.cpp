// The in-memory family of exported entry points.
#include "api.h"

#include "api_support.h"
#include "core.h"
#include "database.h"
#include "engine_log.h"
#include "kernel.h"
#include "timeseries.h"

#include <sqlite3.h>

#include <iostream>
#include <limits>

namespace {

ResultBuffer last_result;
ResultBuffer last_init_result;
// The window and events answers have a buffer each, so that a host holding
// one of them is not surprised by a call of another kind.
ResultBuffer last_window_result;
ResultBuffer last_events_result;

const char* const kEmptyCfg = "{\"modules\":[],\"instances\":[],\"connections\":[]}";

std::string ingestError(const std::string& message) {
    return "{\"success\": false, \"error\": \"" + message + "\", \"meta\": " + kNothingRanMeta +
           ", \"hierarchy\": [], \"signals\": [], \"timeline\": []}";
}

std::string successError(const std::string& message) {
    return "{\"success\": false, \"error\": \"" + message + "\"}";
}

std::string initError(const std::string& message) {
    return "{\"success\": false, \"error\": \"" + message + "\", \"meta\": " + kNothingRanMeta +
           "}";
}

std::string plainError(const std::string& message) { return "{\"error\": \"" + message + "\"}"; }

// Why the project database file does not open, or "" when it does; the
// readers then query the singleton's own connection.
std::string databaseFileProblem() {
    const std::string path = Database::instance().get_path();
    sqlite3* conn = nullptr;
    std::string problem;
    if (sqlite3_open(path.c_str(), &conn) != SQLITE_OK) {
        problem = "Cannot open database '" + path + "': " + sqlite3_errmsg(conn);
        std::cerr << problem << "\n";
    }
    sqlite3_close(conn);
    return problem;
}

// Answers a database reader's text, or the error JSON when the database file
// does not open.
template <typename Query>
const char* readDatabase(Query&& query) {
    return answerGuarded(
        "",
        [&]() -> const char* {
            last_result.release();
            const std::string problem = databaseFileProblem();
            if (!problem.empty())
                return last_result.store(plainError(json_escape(problem)));
            return last_result.store(query(Database::instance()));
        },
        [](const std::string& m) { return last_result.store(plainError(m)); });
}

uint64_t windowEndOf(uint64_t center_time, uint64_t radius) {
    const uint64_t room = std::numeric_limits<uint64_t>::max() - center_time;
    return radius > room ? std::numeric_limits<uint64_t>::max() : center_time + radius;
}

void appendWindowStep(std::string& out, const wsim_timeseries::TimelineStep& step) {
    out += "  {\"step\": " + std::to_string(step.step) +
           ", \"simulationTime\": " + std::to_string(step.simulationTime) +
           ", \"currentLine\": " + std::to_string(step.currentLine) + ", \"signalState\": {";
    const char* separator = "";
    for (const auto& [name, value] : step.signalState) {
        out += separator;
        out += '"';
        append_json_escaped(out, name);
        out += "\": " + std::to_string(value);
        separator = ", ";
    }
    out += "}, \"propertyState\": {";
    separator = "";
    for (const auto& [label, state] : step.propertyState) {
        out += separator;
        out += '"';
        append_json_escaped(out, label);
        out += "\": \"";
        append_json_escaped(out, state);
        out += '"';
        separator = ", ";
    }
    out += "}}";
}

std::string windowJson(uint64_t center_time, uint64_t radius) {
    const uint64_t start = center_time < radius ? 0 : center_time - radius;
    const uint64_t end = windowEndOf(center_time, radius);
    std::string out = "{\"centerTime\": " + std::to_string(center_time) +
                      ", \"windowStart\": " + std::to_string(start) +
                      ", \"windowEnd\": " + std::to_string(end) + ", \"steps\": [\n";
    const char* separator = "";
    for (const auto& step : wsim_timeseries::TimeSeriesDB::instance().get_timeline()) {
        if (step.simulationTime < start || step.simulationTime > end)
            continue;
        out += separator;
        appendWindowStep(out, step);
        separator = ",\n";
    }
    out += "\n]}";
    return out;
}

std::string eventsJson() {
    const auto& recorder = wsim_timeseries::TimeSeriesDB::instance();
    std::string out = "{\"assertionEvents\": [\n";
    const char* separator = "";
    for (const auto& event : recorder.get_all_events()) {
        out += separator;
        out += "  {\"propertyId\": " + std::to_string(event.propertyId) + ", \"label\": \"";
        append_json_escaped(out, event.label);
        out += "\", \"time\": " + std::to_string(event.time) + ", \"result\": \"";
        append_json_escaped(out, event.result);
        out += "\"}";
        separator = ",\n";
    }
    out += "\n]";
    if (recorder.is_event_recording_stopped())
        out += ",\n\"recordedUntil\": " + recorder.events_recorded_until_json(false) +
               ",\n\"properties\": " + recorder.property_summaries_json("", false);
    return out + "}";
}

} // namespace

extern "C" {

const char* ingest(const char* verilogCode) {
    return answerGuarded(
        "Exception: ",
        [&] {
            const DefaultRunLimits limits;
            std::cerr << "[INGEST] entry" << std::endl;
            last_result.release();
            WexlaCore& core = WexlaCore::instance();
            core.input(textArgument(verilogCode));
            return last_result.store(core.simulate().simulation_json);
        },
        [](const std::string& m) { return last_result.store(ingestError(m)); });
}

const char* get_cfg(const char* verilogCode) {
    return answerGuarded(
        "",
        [&] {
            std::cerr << "[GET_CFG] entry" << std::endl;
            last_result.release();
            WexlaCore& core = WexlaCore::instance();
            core.input(textArgument(verilogCode));
            const std::string cfg = core.simulate().cfg_json;
            return last_result.store(cfg.empty() ? std::string(kEmptyCfg) : cfg);
        },
        [](const std::string& m) {
            return last_result.store("{\"error\": \"" + m +
                                     "\",\"modules\":[],\"instances\":[],\"connections\":[]}");
        });
}

const char* ingest_only_init(const char* verilogCode) {
    return answerGuarded(
        "Exception: ",
        [&] {
            std::cerr << "[INGEST WITHOUT OUTPUT] entry" << std::endl;
            last_result.release();
            last_init_result.release();
            WexlaCore& core = WexlaCore::instance();
            core.input(textArgument(verilogCode));
            const SimulationResult result = core.simulate();
            last_result.store(result.simulation_json);
            return last_init_result.store(
                wsim_timeseries::TimeSeriesDB::instance().simulation_init_to_json(
                    result.success, result.error_message,
                    wsim_kernel::sim_state::instance().sim_time(), result.meta()));
        },
        [](const std::string& m) { return last_init_result.store(initError(m)); });
}

const char* get_timeline_window(uint64_t center_time, uint64_t radius) {
    return answerGuarded(
        "",
        [&] {
            std::cerr << "[GET TIMELINE WINDOW] center=" << center_time << " radius=" << radius
                      << std::endl;
            return last_window_result.store(windowJson(center_time, radius));
        },
        [](const std::string& m) { return last_window_result.store(plainError(m)); });
}

const char* get_property_results() {
    return answerGuarded(
        "",
        [] {
            std::cerr << "[GET PROPERTY RESULTS] entry" << std::endl;
            return last_events_result.store(eventsJson());
        },
        [](const std::string& m) {
            return last_events_result.store("{\"assertionEvents\": [], \"error\": \"" + m +
                                            "\"}");
        });
}

const char* get_next_timestep() {
    return answerGuarded(
        "Exception: ",
        [] {
            std::cerr << "[GET NEXT TIMESTEP] step forward" << std::endl;
            last_result.release();
            auto& recorder = wsim_timeseries::TimeSeriesDB::instance();
            const std::string step = recorder.curr_timestep_to_json();
            recorder.step_forward();
            return last_result.store(step);
        },
        [](const std::string& m) { return last_result.store(successError(m)); });
}

const char* get_prev_timestep() {
    return answerGuarded(
        "Exception: ",
        [] {
            std::cerr << "[GET PREV TIMESTEP] step backward" << std::endl;
            last_result.release();
            auto& recorder = wsim_timeseries::TimeSeriesDB::instance();
            recorder.step_backward();
            return last_result.store(recorder.curr_timestep_to_json());
        },
        [](const std::string& m) { return last_result.store(successError(m)); });
}

const char* compile(const std::vector<std::string>& paths) {
    return answerGuarded(
        "",
        [&] {
            std::cerr << "[COMPILE] entry" << std::endl;
            last_result.release();
            const std::string diagnostics = WexlaCore::instance().compile(paths);
            engine_log::out() << diagnostics << std::endl;
            return last_result.store(diagnostics);
        },
        [](const std::string& m) {
            return last_result.store("{\"status\": 501, \"error\": \"" + m + "\"}");
        });
}

const char* get_module_by_name(const std::string& n) {
    return answerGuarded(
        "",
        [&] {
            std::cerr << "[GET MODULE] by name" << std::endl;
            last_result.release();
            return last_result.store(WexlaCore::instance().getModuleByName(n));
        },
        [](const std::string& m) {
            return last_result.store("{\"status\": 501, \"error\": \"" + m +
                                     "\", \"modules\": {}}");
        });
}

const char* inject_and_simulate(const std::vector<Query>& qlist) {
    return answerGuarded(
        "",
        [&] {
            std::cerr << "[INJECT AND SIM] entry" << std::endl;
            last_result.release();
            WexlaCore& core = WexlaCore::instance();
            core.injectAndSimulate(qlist);
            return last_result.store(core.getSimulationJSON());
        },
        [](const std::string& m) {
            std::cerr << "[INJECT AND SIM] error caught : " << m << std::endl;
            return last_result.store(successError(m));
        });
}

const char* get_all_modules() {
    std::cerr << "[LIST ALL MODULES]" << std::endl;
    return readDatabase([](Database& db) { return db.getAllModules(); });
}

const char* get_hierarchy_string(const std::string& m_name) {
    std::cerr << "[LIST HIERARCHY]" << std::endl;
    return readDatabase([&](Database& db) { return db.getHierarchy(m_name); });
}

const char* get_hierarchy_int(int inst_id) {
    std::cerr << "[LIST HIERARCHY]" << std::endl;
    return readDatabase([&](Database& db) { return db.getHierarchy(inst_id); });
}

void freeResult(const char* result) {
    const EngineTurn turn;
    if (!last_result.releaseIfHeld(result) && !last_window_result.releaseIfHeld(result))
        last_events_result.releaseIfHeld(result);
}

} // extern "C"
