// The two families of exported entry points: their answers before a project
// exists, their buffers, the in-memory window and events texts, and the
// database cursor over a recorded run.
#include "api.h"
#include "api_db.h"
#include "kernel.h"
#include "project_support.h"
#include "timeseries.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <string>

using wexla_test::TempDir;

namespace {

const std::string kNoPath = "Database::init(path) must be called before Database::instance()";

// A run recorded by hand: steps at times 0, 5, ..., 5 * (steps - 1), signal
// "top.a" counting up, with the rows in the project database.
void recordRun(const TempDir& dir, int steps) {
    const std::string source = dir.file("top.sv");
    const int file_id = wexla_test::addTopDesign(source);
    Database::instance().insertSignal("a", 1, source, 2, 8, 1, 0, "reg", "top", 1);
    auto& rec = wsim_timeseries::TimeSeriesDB::instance();
    rec.register_signal("a", 2, false, true, 8);
    rec.set_line_ctx_map({{file_id, 4}});
    for (int i = 0; i < steps; ++i) {
        rec.record_signal_change("a", i);
        rec.record_timeline_step(5 * static_cast<uint64_t>(i), 0, {});
    }
}

// The "step" member of a step answer (an array of one step).
int stepOf(const std::string& answer) {
    const auto at = answer.find("\"step\":");
    return at == std::string::npos ? -2 : std::stoi(answer.substr(at + 7));
}

// The last `count` characters of a text, or all of a shorter one.
std::string tailOf(const std::string& text, size_t count) {
    return text.substr(text.size() - std::min(count, text.size()));
}

} // namespace

TEST(InMemoryApi, AnswersWithoutAProjectDatabase) {
    SKIP_UNLESS_FIRST_IN_PROCESS();
    wexla_test::QuietLogs quiet;
    // A text run says what it needs, in the shape of any run that failed.
    const std::string no_project = "\"success\": false,\n  \"error\": \"no project is configured: "
                                   "call json2_callback first (a text run writes what the design "
                                   "prints to the console file beside the project database)\",\n";
    const std::string run = ingest("module m; initial $display(1); endmodule");
    EXPECT_EQ(run.find(no_project), 4u) << run;
    EXPECT_NE(run.find("\"meta\": {\n    \"stopReason\": \"none\""), std::string::npos) << run;
    const std::string init = ingest_only_init(nullptr);
    EXPECT_EQ(init.find(no_project), 4u) << init;
    EXPECT_NE(init.find("\"stopReason\": \"none\""), std::string::npos) << init;
    EXPECT_FALSE(Database::configured());

    const std::string no_db = "{\"error\": \"" + kNoPath + "\"}";
    EXPECT_EQ(get_all_modules(), no_db);
    EXPECT_EQ(get_hierarchy_int(0), no_db);

    // The recorder's answers need no database.
    EXPECT_STREQ(get_timeline_window(5, 10),
                 "{\"centerTime\": 5, \"windowStart\": 0, \"windowEnd\": 15, \"steps\": [\n\n]}");
    const uint64_t far = std::numeric_limits<uint64_t>::max() - 1;
    EXPECT_NE(std::string(get_timeline_window(far, 10)).find("\"windowEnd\": 18446744073709551615,"),
              std::string::npos);
    EXPECT_STREQ(get_property_results(), "{\"assertionEvents\": [\n\n]}");
}

TEST(InMemoryApi, EachBufferIsFreedOnlyThroughItsOwnPointer) {
    wexla_test::QuietLogs quiet;
    const char* init = ingest_only_init("module m; endmodule");
    const std::string init_text = init;
    const char* window = get_timeline_window(1, 1);
    const char* events = get_property_results();
    const char* modules = get_all_modules();
    freeResult(init);     // the initial-state text is not the family's to free
    freeResult(modules);  // frees the kept answer only
    freeResult(modules);  // a second time does nothing
    EXPECT_EQ(init, init_text);
    EXPECT_STREQ(window, "{\"centerTime\": 1, \"windowStart\": 0, \"windowEnd\": 2, \"steps\": [\n\n]}");
    EXPECT_STREQ(events, "{\"assertionEvents\": [\n\n]}");
    freeResult(window);
    freeResult(events);
    freeResult(nullptr);
    EXPECT_STREQ(get_property_results(), "{\"assertionEvents\": [\n\n]}");
}

TEST(InMemoryApi, WindowAndEventsOverARecordedRun) {
    wexla_test::QuietLogs quiet;
    TempDir dir;
    Database::init(dir.file("project.db"));
    recordRun(dir, 5);
    auto& rec = wsim_timeseries::TimeSeriesDB::instance();
    rec.register_property("p\"1", 3, "a", "a");
    rec.record_property_result("p\"1", 3, "PASS", 10);
    rec.record_property_result("p\"1", 3, "FAIL", 20);

    EXPECT_STREQ(get_timeline_window(10, 5),
                 "{\"centerTime\": 10, \"windowStart\": 5, \"windowEnd\": 15, \"steps\": [\n"
                 "  {\"step\": 1, \"simulationTime\": 5, \"currentLine\": 0, \"signalState\": "
                 "{\"a\": 1}, \"propertyState\": {}},\n"
                 "  {\"step\": 2, \"simulationTime\": 10, \"currentLine\": 0, \"signalState\": "
                 "{\"a\": 2}, \"propertyState\": {}},\n"
                 "  {\"step\": 3, \"simulationTime\": 15, \"currentLine\": 0, \"signalState\": "
                 "{\"a\": 3}, \"propertyState\": {}}\n]}");
    EXPECT_STREQ(get_property_results(),
                 "{\"assertionEvents\": [\n"
                 "  {\"propertyId\": 0, \"label\": \"p\\\"1\", \"time\": 10, \"result\": \"PASS\"},\n"
                 "  {\"propertyId\": 1, \"label\": \"p\\\"1\", \"time\": 20, \"result\": \"FAIL\"}\n]}");
    EXPECT_EQ(get_all_modules(), Database::instance().getAllModules());
}

TEST(DatabaseApi, AnswersWithoutAProject) {
    SKIP_UNLESS_FIRST_IN_PROCESS();
    wexla_test::QuietLogs quiet;
    const std::string plain = "{\"error\":\"" + kNoPath + "\"}";
    const std::string success = "{\"success\":false,\"error\":\"" + kNoPath + "\"}";
    EXPECT_EQ(wexla_test::jsonAt(get_ingest("module m; endmodule"), "$.meta.stopReason"), "none");
    EXPECT_EQ(get_next_timestep_db(), success);
    EXPECT_EQ(get_prev_timestep_hier_db({}), success);
    EXPECT_EQ(process_sql_query("SELECT 1"), plain);
    EXPECT_EQ(get_hierarchy_db(nullptr), plain);
    EXPECT_EQ(get_property_results_db(), "{\"assertionEvents\":[],\"error\":\"" + kNoPath + "\"}");
    EXPECT_EQ(initialize_project_structure({"a.sv"}, "", "ns", "top", 0, -1, 0, 1000), plain);

    const char* init = get_ingest_only_init();
    const std::string nothing_ran =
        "{\"finalTime\": 0, \"totalCycles\": 0, \"totalChanges\": 0, \"stopReason\": \"none\", "
        "\"notModelled\": []}";
    const std::string init_error = "{\"success\":false,\"error\":\"" + kNoPath + "\",\"meta\":" +
                                   nothing_ran + "}";
    EXPECT_EQ(init, init_error);
    freeResult_db(init);  // not the family's kept buffer
    EXPECT_EQ(init, init_error);
    EXPECT_EQ(inject_and_simulate_db({}), "{\"success\":false,\"error\":\"" + kNoPath +
                                              "\",\"finalTime\": -1, \"timeline\": [], \"meta\": " +
                                              nothing_ran + "}");
    EXPECT_EQ(get_simulate_multi_file(), "{\"success\":false,\"error\":\"" + kNoPath +
                                             "\",\"hierarchy\":[],\"signals\":[],\"timeline\":[]}");
    EXPECT_EQ(current_hierarchy_answer(3), plain);
    set_current_hierarchy(3);
    EXPECT_EQ(shutdown_project(), "{\"success\":true,\"error\":\"\"}");  // nothing to save
    EXPECT_EQ(get_cursor_db(), 0);
}

TEST(DatabaseApi, PlainCursorWalksTheRecordedRunBetweenItsEnds) {
    SKIP_UNLESS_FIRST_IN_PROCESS();
    wexla_test::QuietLogs quiet;
    TempDir dir;
    Database::init(dir.file("project.db"));
    recordRun(dir, 4);  // not saved: the file holds no timeline

    std::vector<int> forward;
    for (int i = 0; i < 6; ++i)
        forward.push_back(stepOf(get_next_timestep_db()));
    EXPECT_EQ(forward, (std::vector<int>{0, 1, 2, 3, 3, 3}));
    EXPECT_EQ(get_cursor_db(), 3);

    std::vector<int> backward;
    for (int i = 0; i < 5; ++i)
        backward.push_back(stepOf(get_prev_timestep_db()));
    EXPECT_EQ(backward, (std::vector<int>{2, 1, 0, 0, 0}));
    EXPECT_EQ(std::string(get_timeline_step_inst_list({1})),
              Database::instance().getTimelineForInstanceListByStep({1}, 0));

    reset_cursor_db();
    EXPECT_EQ(get_cursor_db(), 0);
    EXPECT_STREQ(get_timeline_window_db(3, 10, "none"),
                 "{\"centerTime\":3,\"windowStart\":0,\"windowEnd\":13,\"steps\":[]}");
    EXPECT_STREQ(process_sql_query("SELECT name FROM modules WHERE 0"), "[]");
    EXPECT_STREQ(process_sql_query("SELECT COUNT(*) FROM timeline"), "4");
    // A failed query says why instead of answering an empty list.
    EXPECT_STREQ(process_sql_query("SELEKT 1"), "{\"error\":\"near \\\"SELEKT\\\": syntax error\"}");
    EXPECT_STREQ(get_property_timeline_step_db(99), "{}");
}

// p1 passes when the edge after its attempt samples an odd count, p2 when it
// samples an even one; p3 always passes.
const char* const kThreeProperties = R"(module top;
  logic clk = 0;
  logic on = 1;
  logic [1:0] count = 0;
  always #5 clk = ~clk;
  always @(posedge clk) count <= count + 1;
  p1: assert property (@(posedge clk) on |-> ##1 count[0]);
  p2: assert property (@(posedge clk) on |-> ##1 !count[0]);
  p3: assert property (@(posedge clk) on |-> ##1 on);
endmodule
)";

TEST(DatabaseApi, PropertyResultsPastTheEventLimitKeepExactSummaries) {
    wexla_test::QuietLogs quiet;
    TempDir dir;
    const std::string source = dir.file("top.sv");
    wexla_test::writeFile(source, kThreeProperties);
    // Clock edges at 5, 15, ...: each judges the attempts of the edge before.
    auto simulateEdges = [&](uint64_t edges) {
        initialize_project_structure({source}, dir.file("project.db"), "ns", "top", 0, -1, 0, 0);
        auto& config = wsim_kernel::sim_state::instance().sim_config;
        config = wsim_kernel::sim_state::SimConfig{};
        config.max_sim_time = 10 * edges;
        config.max_sim_cycle = 1 << 30;
        return std::string(get_ingest_only_init());
    };
    auto counts = [] {
        return wexla_test::queryRows(Database::instance().handle(),
                                     "SELECT property_id, result, COUNT(*) FROM assertionevents "
                                     "GROUP BY property_id, result ORDER BY property_id, result");
    };

    // A short run keeps every event; its counts are those of the closed form below.
    const std::string short_init = simulateEdges(70);
    EXPECT_EQ(counts(), (std::vector<std::string>{"p1|FAIL|34", "p1|PASS|35", "p2|FAIL|35",
                                                  "p2|PASS|34", "p3|PASS|69"}));
    EXPECT_EQ(short_init.find("eventsRecordedUntil"), std::string::npos);
    const std::string short_results = get_property_results_db();
    EXPECT_EQ(short_results.find("recordedUntil"), std::string::npos);
    EXPECT_EQ(tailOf(short_results, 4), "\"}]}");

    // 7,000 edges judge 3 x 6,999 attempts: the events stop at the 20,000th,
    // at the 6,667th edge after the first; the summaries count them all.
    const std::string init = simulateEdges(7000);
    // The timeline stopped long before; its place comes first.
    EXPECT_NE(init.find("\"recordedUntil\": {\"step\": "), std::string::npos) << init;
    EXPECT_NE(init.find("},\n    \"eventsRecordedUntil\": {\"events\": 20000, \"time\": 66675}\n  },"),
              std::string::npos)
        << init;
    EXPECT_EQ(Database::instance().getRecordCount("assertionevents"), 20000);
    const std::string tail =
        "\"result\":\"FAIL\"}],\"recordedUntil\":{\"events\":20000,\"time\":66675},\"properties\":["
        "{\"label\":\"p1\",\"finalResult\":\"PASS\",\"evaluations\":6999,\"failures\":3499},"
        "{\"label\":\"p2\",\"finalResult\":\"FAIL\",\"evaluations\":6999,\"failures\":3500},"
        "{\"label\":\"p3\",\"finalResult\":\"PASS\",\"evaluations\":6999,\"failures\":0}]}";
    EXPECT_EQ(tailOf(get_property_results_db(), tail.size()), tail);

    // The in-memory answer says the same in its own layout.
    const std::string events_tail =
        "\"result\": \"FAIL\"}\n],\n\"recordedUntil\": {\"events\": 20000, \"time\": 66675},\n"
        "\"properties\": [\n"
        "  {\"label\": \"p1\", \"finalResult\": \"PASS\", \"evaluations\": 6999, \"failures\": 3499},\n"
        "  {\"label\": \"p2\", \"finalResult\": \"FAIL\", \"evaluations\": 6999, \"failures\": 3500},\n"
        "  {\"label\": \"p3\", \"finalResult\": \"PASS\", \"evaluations\": 6999, \"failures\": 0}\n"
        "]}";
    EXPECT_EQ(tailOf(get_property_results(), events_tail.size()), events_tail);
}

// Failures answer JSON that says so, with what the run recorded, never an
// empty text or a bare success.
TEST(DatabaseApi, FailuresAnswerJsonWithWhatWasRecorded) {
    wexla_test::QuietLogs quiet;
    TempDir dir;
    std::filesystem::create_directory(dir.file("project"));
    const std::string source = dir.file("loop.sv");
    wexla_test::writeFile(source, "module m; logic a = 0; always #0 a = ~a; endmodule\n");
    const std::string db_path = dir.file("project/project.db");
    initialize_project_structure({source}, db_path, "ns", "m", 0, -1, 0, 5000);
    auto& config = wsim_kernel::sim_state::instance().sim_config;
    config = wsim_kernel::sim_state::SimConfig{};
    config.max_sim_cycle = 5000;

    // A run stopped by its delta limit: the bare array would hide it.
    const std::string multi = get_simulate_multi_file();
    using wexla_test::jsonAt;
    EXPECT_EQ(jsonAt(multi, "$.success"), "0");
    EXPECT_EQ(jsonAt(multi, "$.error"), "Simulation aborted: delta limit at t=0");
    EXPECT_EQ(jsonAt(multi, "$.timeline"), jsonAt(Database::instance().getTimeline(), "$"));
    EXPECT_NE(jsonAt(multi, "$.timeline[0].step"), "NULL");

    // The injected run's outcome gains its meta, as init()'s has.
    const std::string injected = inject_and_simulate_db({});
    EXPECT_EQ(jsonAt(injected, "$.success"), "0");
    EXPECT_EQ(jsonAt(injected, "$.error"), "Simulation aborted: delta limit at t=0");
    EXPECT_EQ(jsonAt(injected, "$.meta.stopReason"), "delta limit");
    EXPECT_EQ(jsonAt(injected, "$.meta.totalCycles"),
              std::to_string(Database::instance().getTotalSteps()));
    EXPECT_EQ(jsonAt(injected, "$.meta.finalTime"), jsonAt(injected, "$.finalTime"));

    // With the project's folder gone, readers say why instead of answering "".
    std::filesystem::remove_all(dir.file("project"));
    const std::string cannot_open =
        "Cannot open database '" + db_path + "': unable to open database file";
    EXPECT_EQ(jsonAt(get_hierarchy_int(1), "$.error"), cannot_open);
    EXPECT_EQ(jsonAt(get_hierarchy_string("m"), "$.error"), cannot_open);
    EXPECT_EQ(jsonAt(get_all_modules(), "$.error"), cannot_open);
    const std::string refused = inject_and_simulate_db({});
    EXPECT_EQ(jsonAt(refused, "$.error"), "Cannot open " + db_path + ": unable to open database file");
    EXPECT_EQ(jsonAt(refused, "$.meta.stopReason"), "none");
}

// A refused configuration changes nothing of the project before it: not
// even the limits its next run goes by.
TEST(DatabaseApi, ARefusedConfigurationKeepsTheRunLimits) {
    wexla_test::QuietLogs quiet;
    TempDir dir;
    const std::string source = dir.file("m.sv");
    wexla_test::writeFile(source, "module m; endmodule\n");
    initialize_project_structure({source}, dir.file("project.db"), "us", "m", 3, -1, 70, 5000);
    const std::string notes = dir.file("notes.db");
    wexla_test::writeFile(notes, "these are notes, not a database\n");
    const std::string refused =
        initialize_project_structure({source}, notes, "ps", "m", 9, -1, 1, 3);
    EXPECT_NE(refused.find("is not an SQLite database"), std::string::npos) << refused;

    const auto& config = wsim_kernel::sim_state::instance().sim_config;
    EXPECT_EQ(config.time_unit, "us");
    EXPECT_EQ(config.start_time, 3u);
    EXPECT_EQ(config.max_sim_time, 70u);
    EXPECT_EQ(config.max_sim_cycle, 5000);
}
