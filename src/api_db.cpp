// The database-backed family of exported entry points and its step cursor.
#include "api_db.h"

#include "api_support.h"
#include "core.h"
#include "database.h"
#include "engine_log.h"
#include "kernel.h"
#include "timeseries.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <iostream>
#include <limits>

namespace {

ResultBuffer last_result;
ResultBuffer last_init_result;
int db_cursor = 0;
int min_db_cursor = 0;

// A host's query runs at most this long: a mistyped join must not freeze the editor.
constexpr std::chrono::milliseconds kHostQueryTimeLimit{10000};

const char* const kEmptyCfg = "{\"modules\":[],\"instances\":[],\"connections\":[]}";

// A short-lived connection on the project database file, closed when it goes.
class FileConnection {
public:
    explicit FileConnection(const char* caller) {
        const std::string path = Database::instance().get_path();
        if (sqlite3_open(path.c_str(), &conn_) != SQLITE_OK) {
            problem_ = "Cannot open " + path + ": " + sqlite3_errmsg(conn_);
            std::cerr << "[" << caller << "] " << problem_ << "\n";
            close();
        }
    }
    ~FileConnection() { close(); }
    FileConnection(const FileConnection&) = delete;
    FileConnection& operator=(const FileConnection&) = delete;

    explicit operator bool() const { return conn_ != nullptr; }
    // Why the file did not open.
    const std::string& problem() const { return problem_; }
    sqlite3* get() const { return conn_; }
    void close() {
        sqlite3_close_v2(conn_);
        conn_ = nullptr;
    }

private:
    sqlite3* conn_ = nullptr;
    std::string problem_;
};

// The configuration as the engine read it, at the head of the project's log.
void logConfiguration(const std::vector<std::string>& pathlist, const std::string& db_loc,
                      const std::string& time_unit, const std::string& working_hierarchy,
                      int64_t start_time, int waveform_window_size, int64_t max_sim_time,
                      int max_sim_cycle) {
    std::ostream& out = engine_log::out();
    out << "[CAPTURE YAML DATA] db_path=" << db_loc << " time_unit=" << time_unit
        << " working_hierarchy=" << working_hierarchy << " start_time=" << start_time
        << " waveform_window_size=" << waveform_window_size << " max_sim_time=" << max_sim_time
        << " max_sim_cycles=" << max_sim_cycle << "\n";
    for (const auto& path : pathlist)
        out << "[CAPTURE YAML DATA] source " << path << "\n";
    out.flush();
}

// The limits stay in the configured unit: only the run knows the design's
// time precision, which its ticks count. Negative times count as 0.
void applyRunLimits(const std::string& time_unit, int64_t start_time, int64_t max_sim_time,
                    int max_sim_cycle) {
    const auto notNegative = [](int64_t t) { return static_cast<uint64_t>(std::max<int64_t>(t, 0)); };
    auto& sim_config = wsim_kernel::sim_state::instance().sim_config;
    sim_config.max_sim_time = notNegative(max_sim_time);
    sim_config.start_time = notNegative(start_time);
    sim_config.max_sim_cycle = max_sim_cycle;
    sim_config.time_unit = time_unit;
    std::cerr << "[CONFIG] max_time=" << sim_config.max_sim_time
              << " max_cycle=" << sim_config.max_sim_cycle << " unit=" << sim_config.time_unit
              << " start=" << sim_config.start_time << std::endl;
}

std::string orDefault(std::string text, const char* fallback) {
    return text.empty() ? std::string(fallback) : text;
}

std::string plainError(const std::string& m) { return "{\"error\":\"" + m + "\"}"; }
std::string successError(const std::string& m) {
    return "{\"success\":false,\"error\":\"" + m + "\"}";
}
std::string simulationError(const std::string& m, const std::string& timeline = "[]") {
    return "{\"success\":false,\"error\":\"" + m +
           "\",\"hierarchy\":[],\"signals\":[],\"timeline\":" + timeline + "}";
}
std::string initError(const std::string& m) {
    return "{\"success\":false,\"error\":\"" + m + "\",\"meta\":" + kNothingRanMeta + "}";
}
std::string injectionError(const std::string& m) {
    return "{\"success\":false,\"error\":\"" + m + "\",\"finalTime\": -1, \"timeline\": [], \"meta\": " +
           kNothingRanMeta + "}";
}

// Runs a query of the record store and keeps its text, or the error JSON.
template <typename Body>
const char* keepAnswer(Body&& body) {
    return answerGuarded(
        "", [&] { return last_result.store(body()); },
        [](const std::string& m) { return last_result.store(plainError(m)); });
}

// The same for the four step functions, whose error names success.
template <typename Body>
const char* keepStep(Body&& body) {
    return answerGuarded(
        "", [&] { return last_result.store(body()); },
        [](const std::string& m) { return last_result.store(successError(m)); });
}

// A text run: simulate() clears the recorder without touching the project's
// tables, which a clear before input() would.
std::string runSimulation(const char* verilogCode) {
    const DefaultRunLimits limits;
    db_cursor = 0;
    WexlaCore& core = WexlaCore::instance();
    core.input(textArgument(verilogCode));
    return core.simulate().simulation_json;
}

std::string stepAtCursor(const char* caller) {
    FileConnection conn(caller);
    if (!conn)
        return "{\"step\":-1,\"error\":\"db open failed\"}";
    return orDefault(Database::instance().getTimelineStep(db_cursor), "{\"step\":-1}");
}

void advanceCursorUpTo(int max_step) {
    if (max_step > db_cursor)
        ++db_cursor;
}

void retreatCursor() {
    if (db_cursor > 0 && db_cursor > min_db_cursor)
        --db_cursor;
}

// The steps of the configured window, with the cursor on its last step; without
// a window the cursor goes to the first step at the start time and no steps
// are sent.
std::string placeCursorOnWindow(Database& db) {
    const TickScale scale = wsim_kernel::sim_state::instance().tick_scale();
    const auto [first, second] = db.getMinMaxStepWindow(scale);
    if (first == -1 && second != -1) {
        db_cursor = db.getMinStep(second);
        min_db_cursor = 0;
        return "";
    }
    db_cursor = static_cast<int>(second);
    min_db_cursor = static_cast<int>(first);
    const auto [t0, t1] = db.getTimeRange(scale);
    return db.getTimelineWindow(t0, t1, db.getSubtreeInstanceIds(db.getCurrentHierarchy()));
}

// Whether the project's last run stopped storing assertion events; the
// answers then say where, and the property results give every summary.
bool projectEventsStopped() {
    const auto& recorder = wsim_timeseries::TimeSeriesDB::instance();
    return recorder.writes_database() && recorder.is_event_recording_stopped();
}

// The "meta" object of a project run, its members one to a line at `indent`
// and its closing brace at `indent` less two spaces.
std::string projectRunMeta(const SimulationResult& result, const std::string& indent) {
    Database& db = Database::instance();
    std::string out = "{\n";
    // The time the run reached, recorded or not.
    out += indent + "\"finalTime\": " + std::to_string(result.final_time) + ",\n";
    out += indent + "\"totalCycles\": " + std::to_string(db.getTotalSteps()) + ",\n";
    out += indent + "\"totalChanges\": " + std::to_string(result.total_changes) + ",\n";
    out += indent + "\"stopReason\": \"" + json_escape(result.stop_reason) + "\",\n";
    out += indent + "\"notModelled\": " + wsim_timeseries::not_modelled_json(result.not_modelled) +
           wsim_timeseries::recorded_until_member(result.meta(), indent);
    if (projectEventsStopped())
        out += wsim_timeseries::TimeSeriesDB::instance().events_recorded_until_member(indent);
    out += "\n" + indent.substr(std::min<size_t>(2, indent.size())) + "}";
    return out;
}

// A JSON object's text with one more member at its end.
std::string withLastMember(std::string object, const std::string& name, const std::string& value) {
    const auto close = object.rfind('}');
    return object.substr(0, close) + ",\"" + name + "\": " + value + object.substr(close);
}

std::string initialStateJson(const SimulationResult& result, const std::string& steps) {
    Database& db = Database::instance();
    const std::string signals = db.hierSignalList();

    std::string out = "{\n";
    out += std::string("  \"success\": ") + (result.success ? "true" : "false") + ",\n";
    out += "  \"error\": \"" + json_escape(result.error_message) + "\",\n";
    out += "  \"meta\": " + projectRunMeta(result, "    ") + ",\n";
    out += "  \"signals\": " + (signals.empty() ? std::string("[]") : signals) + "\n";
    out += ",   \"steps\": " + (steps.empty() ? std::string("    []") : steps) + "\n";
    out += "}\n";
    return out;
}

// The project row keeps 32-bit times.
int clampToInt(int64_t value) {
    return static_cast<int>(std::clamp<int64_t>(value, std::numeric_limits<int>::min(),
                                                 std::numeric_limits<int>::max()));
}

uint64_t windowEndOf(uint64_t center_time, uint64_t radius) {
    const uint64_t room = std::numeric_limits<uint64_t>::max() - center_time;
    return radius > room ? std::numeric_limits<uint64_t>::max() : center_time + radius;
}

} // namespace

extern "C" {

const char* get_ingest(const char* verilogCode) {
    std::cerr << "[DB] ingest entry\n";
    return answerGuarded(
        "", [&] { return last_result.store(runSimulation(verilogCode)); },
        [](const std::string& m) { return last_result.store(simulationError(m)); });
}

const char* get_simulate_multi_file() {
    std::cerr << "[DB] simulate multifile entry" << std::endl;
    return answerGuarded(
        "",
        [] {
            const SimulationResult result = WexlaCore::instance().runProject();
            const std::string timeline = Database::instance().getTimeline();
            if (timeline.empty())
                return last_result.store(simulationError(
                    "the recorded timeline could not be read from the project database"));
            // A failed run answers so, with whatever it recorded.
            if (!result.success)
                return last_result.store(simulationError(json_escape(result.error_message), timeline));
            return last_result.store(timeline);
        },
        [](const std::string& m) { return last_result.store(simulationError(m)); });
}

const char* get_ingest_only_init() {
    std::cerr << "[DB] ingest_only_init entry\n";
    last_init_result.release();
    return answerGuarded(
        "",
        [] {
            db_cursor = 0;
            const SimulationResult result = WexlaCore::instance().runProject();
            const std::string steps = placeCursorOnWindow(Database::instance());
            std::cerr << "[INITIALIZE PROJECT STATE] " << db_cursor << std::endl;
            return last_init_result.store(initialStateJson(result, steps));
        },
        [](const std::string& m) { return last_init_result.store(initError(m)); });
}

const char* inject_and_simulate_db(const std::vector<Query>& qlist) {
    std::cerr << "[DB] injectAndSim" << std::endl;
    return answerGuarded(
        "",
        [&] {
            FileConnection conn("injectAndSim");
            if (!conn)
                return last_result.store(injectionError(json_escape(conn.problem())));
            // The outcome is answered as the run gave it: a host's SQL may
            // have kept its copy out of the project row.
            const SimulationResult run = WexlaCore::instance().injectAndSimulate(qlist);
            const std::string response = Database::instance().injectAndSimResponse(
                run.success, run.error_message, static_cast<int64_t>(run.final_time));
            conn.close();
            if (response.empty()) {
                std::cerr << "[INJECT AND SIM DB] EMPTY JSON" << std::endl;
                return last_result.store(injectionError(
                    "the injected run's outcome could not be read from the project database"));
            }
            return last_result.store(withLastMember(
                response, "meta", projectRunMeta(run, "  ")));
        },
        [](const std::string& m) { return last_init_result.store(injectionError(m)); });
}

const char* get_next_timestep_db() {
    std::cerr << "[DB] stepForward cursor=" << db_cursor << "\n";
    return keepStep([] {
        const std::string step = stepAtCursor("stepForward");
        // The singleton holds the run; the file holds no timeline until a save.
        advanceCursorUpTo(Database::instance().getMaxStep());
        return step;
    });
}

const char* get_next_timestep_hier_db(const std::vector<int>& ids) {
    std::cerr << "[DB] stepForwardForIlist cursor=" << db_cursor << "\n";
    return keepStep([&] {
        const std::string step =
            orDefault(WexlaCore::instance().stepForward(ids, db_cursor), "{\"step\":-1}");
        const int max_step = Database::instance().getMaxStep();
        std::cerr << "[max step]= " << max_step << std::endl;
        advanceCursorUpTo(max_step);
        return step;
    });
}

const char* get_prev_timestep_db() {
    std::cerr << "[DB] stepBackward cursor=" << db_cursor << "\n";
    return keepStep([] {
        retreatCursor();
        return stepAtCursor("stepBackward");
    });
}

const char* get_prev_timestep_hier_db(const std::vector<int>& ids) {
    std::cerr << "[DB] stepBackward cursor=" << db_cursor << "\n";
    return keepStep([&] {
        retreatCursor();
        return orDefault(WexlaCore::instance().stepBackward(ids, db_cursor), "{\"step\":-1}");
    });
}

const char* process_sql_query(const std::string& sql) {
    std::cerr << "[DB] process SQL Query" << std::endl;
    return keepAnswer([&] {
        const auto answer = Database::instance().runHostQuery(sql, kHostQueryTimeLimit);
        if (!answer.ok)
            return "{\"error\":\"" + json_escape(answer.error) + "\"}";
        return orDefault(answer.text, "[]");
    });
}

const char* get_timeline_window_db(uint64_t centerTime, uint64_t radius, const std::string& label) {
    std::cerr << "[DB] getTimelineWindow center=" << centerTime << " radius=" << radius << "\n";
    return keepAnswer([&] {
        const std::string steps =
            Database::instance().getPropertyWaveformTimeline(centerTime, radius, label);
        const uint64_t start = centerTime < radius ? 0 : centerTime - radius;
        return "{\"centerTime\":" + std::to_string(centerTime) +
               ",\"windowStart\":" + std::to_string(start) +
               ",\"windowEnd\":" + std::to_string(windowEndOf(centerTime, radius)) +
               ",\"steps\":" + orDefault(steps, "[]") + "}";
    });
}

const char* get_all_modules_db() {
    std::cerr << "[DB] getAllModules\n";
    return keepAnswer([] { return orDefault(Database::instance().getAllModules(), "[]"); });
}

const char* get_hierarchy_db(const char* module_name) {
    const std::string path = textArgument(module_name);
    std::cerr << "[DB] getHierarchy module=" << path << "\n";
    return keepAnswer([&] { return orDefault(Database::instance().getHierarchy(path), "[]"); });
}

const char* get_parent_hierarchy_db(int inst_id) {
    std::cerr << "[DB] getParentHierarchy inst_id=" << inst_id << "\n";
    return keepAnswer(
        [&] { return orDefault(Database::instance().getParentHierarchy(inst_id), "[]"); });
}

const char* get_all_signals_db() {
    std::cerr << "[DB] getAllSignals\n";
    return keepAnswer([] { return orDefault(Database::instance().getAllSignals(), "[]"); });
}

const char* get_signals_by_module_db(const char* module) {
    const std::string name = textArgument(module);
    std::cerr << "[DB] getSignalsByModule module=" << name << "\n";
    return keepAnswer(
        [&] { return orDefault(Database::instance().getSignalsByModule(name), "[]"); });
}

const char* get_property_results_db() {
    std::cerr << "[DB] getPropertyResults\n";
    return answerGuarded(
        "",
        [] {
            const std::string events = Database::instance().getAssertionEvents();
            std::string out = "{\"assertionEvents\":" + orDefault(events, "[]");
            if (projectEventsStopped()) {
                const auto& recorder = wsim_timeseries::TimeSeriesDB::instance();
                out += ",\"recordedUntil\":" + recorder.events_recorded_until_json(true) +
                       ",\"properties\":" + recorder.property_summaries_json("", true);
            }
            return last_result.store(out + "}");
        },
        [](const std::string& m) {
            return last_result.store("{\"assertionEvents\":[],\"error\":\"" + m + "\"}");
        });
}

const char* get_property_timeline_db() {
    std::cerr << "[DB] getPropertyTimeline\n";
    return keepAnswer([] { return orDefault(Database::instance().getPropertyTimeline(), "[]"); });
}

const char* get_property_timeline_step_db(int step) {
    std::cerr << "[DB] getPropertyTimelineStep step=" << step << "\n";
    return keepAnswer(
        [&] { return orDefault(Database::instance().getPropertyTimelineStep(step), "{}"); });
}

const char* get_signal_changes_db() {
    std::cerr << "[DB] getSignalChanges\n";
    return keepAnswer([] { return orDefault(Database::instance().getSignalChanges(), "[]"); });
}

const char* get_project_state_db() {
    std::cerr << "[DB] getProjectState\n";
    return keepAnswer([] { return orDefault(Database::instance().getProjectState(), "{}"); });
}

const char* get_full_timeline_db() {
    std::cerr << "[DB] getFullTimeline\n";
    return keepAnswer([] { return orDefault(Database::instance().getTimeline(), "[]"); });
}

const char* get_full_timeline_db_inst(int inst_id) {
    std::cerr << "[DB] getFullTimelineForInstance\n";
    return keepAnswer(
        [&] { return orDefault(Database::instance().getTimelineForInstance(inst_id), "[]"); });
}

const char* get_timeline_step_inst_list(const std::vector<int>& ids) {
    std::cerr << "[DB] getTimelineStepForInstanceList\n";
    return keepAnswer([&] {
        return orDefault(Database::instance().getTimelineForInstanceListByStep(ids, db_cursor),
                         "[]");
    });
}

std::string initialize_project_structure(const std::vector<std::string>& pathlist,
                                         const std::string& db_loc, const std::string& time_unit,
                                         const std::string& working_hierarchy, int64_t start_time,
                                         int waveform_window_size, int64_t max_sim_time,
                                         int max_sim_cycle) {
    std::cerr << "[DB] Initialize Project Structure\n";
    return answerGuarded(
        "",
        [&] {
            Database::init(db_loc);
            Database& db = Database::instance();
            engine_log::startBeside(db.get_path());
            logConfiguration(pathlist, db_loc, time_unit, working_hierarchy, start_time,
                             waveform_window_size, max_sim_time, max_sim_cycle);
            {
                const FailedWrites failed(db);
                db.clear(true);
                db.insertProjectStructure(pathlist);
                db.insertProjectState(clampToInt(max_sim_time), max_sim_cycle,
                                      clampToInt(start_time), waveform_window_size, time_unit,
                                      working_hierarchy);
                if (failed.count())
                    throw std::runtime_error("the project could not be written to its database: " +
                                             failed.describe());
            }
            // Only a configuration the project took governs its runs.
            applyRunLimits(time_unit, start_time, max_sim_time, max_sim_cycle);
            std::cerr << "[init project]" << std::endl;
            for (const auto& path : pathlist)
                std::cerr << path << std::endl;
            const std::string compiled = orDefault(WexlaCore::instance().compile(pathlist), "{}");
            db.setCurrentHierarchy(db.findInstanceIDByPath(working_hierarchy));
            engine_log::out() << "[CAPTURE YAML DATA] answer: " << compiled << std::endl;
            return compiled;
        },
        [](const std::string& m) { return plainError(m); });
}

void set_current_hierarchy(int inst_id) { current_hierarchy_answer(inst_id); }

void reset_cursor_db() {
    const EngineTurn turn;
    db_cursor = 0;
}

int get_cursor_db() {
    const EngineTurn turn;
    return db_cursor;
}

const char* get_cfg_db(const char* verilogCode) {
    std::cerr << "[DB] get_cfg entry\n";
    return answerGuarded(
        "",
        [&] {
            WexlaCore& core = WexlaCore::instance();
            core.input(textArgument(verilogCode));
            return last_result.store(orDefault(core.simulate().cfg_json, kEmptyCfg));
        },
        [](const std::string& m) {
            return last_result.store("{\"error\":\"" + m +
                                     "\",\"modules\":[],\"instances\":[],\"connections\":[]}");
        });
}

void freeResult_db(const char* result) {
    const EngineTurn turn;
    last_result.releaseIfHeld(result);
}

void shutdown() { shutdown_project(); }

} // extern "C"

std::string current_hierarchy_answer(int inst_id) {
    std::cerr << "[DB] Set Current Hierarchy" << std::endl;
    return answerGuarded(
        "",
        [&] {
            Database::instance().setCurrentHierarchy(inst_id);
            return std::string("null");
        },
        [](const std::string& m) { return plainError(m); });
}

std::string shutdown_project() {
    const auto answer = [](const std::string& error) {
        return std::string("{\"success\":") + (error.empty() ? "true" : "false") +
               ",\"error\":\"" + json_escape(error) + "\"}";
    };
    return answerGuarded(
        "",
        [&] {
            Database* db = nullptr;
            try {
                db = &Database::instance();
            } catch (const std::exception& e) {
                // No project was configured: nothing to keep. One whose file was
                // refused kept nothing either, which a host must hear.
                return answer(Database::configured() ? std::string("nothing was saved: ") + e.what()
                                                     : "");
            }
            std::string why;
            if (!db->save(&why))
                return answer("the project database could not be saved to " +
                              std::string(db->get_path()) + ": " + why);
            FileConnection conn("close all sql");
            if (conn)
                sqlite3_exec(conn.get(), "PRAGMA wal_checkpoint(TRUNCATE);", nullptr, nullptr,
                             nullptr);
            return answer("");
        },
        [&](const std::string& m) {
            std::cerr << "[DB] shutdown failed: " << m << std::endl;
            return std::string("{\"success\":false,\"error\":\"") + m + "\"}";
        });
}
