// The project road through the orchestrator: compile a file list on disk,
// look modules up, simulate, step, and inject properties into copies.
#include "core.h"
#include "database.h"
#include "kernel.h"
#include "query_support.h"
#include "test_support.h"
#include "timeseries.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <set>
#include <sstream>

using namespace wexla_test;
namespace fs = std::filesystem;

namespace {

// top -> u_mid (mid) -> u_leaf (leaf), one module per file.
const char* const kTop = "module top;\n"
                         "  logic clk = 0;\n"
                         "  logic [3:0] value;\n"
                         "  mid u_mid(.clk(clk), .q(value));\n"
                         "  always #5 clk = ~clk;\n"
                         "endmodule\n";
const char* const kMid = "module mid(input logic clk, output logic [3:0] q);\n"
                         "  logic [3:0] inner;\n"
                         "  leaf u_leaf(.clk(clk), .q(inner));\n"
                         "  assign q = inner;\n"
                         "endmodule\n";
const char* const kLeaf = "module leaf(input logic clk, output logic [3:0] q);\n"
                          "  initial q = 4'b0101;\n"
                          "  always @(posedge clk) q <= ~q;\n"
                          "endmodule\n";

std::string canonical(const std::string& path) { return fs::weakly_canonical(path).string(); }

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A request for the leaf instance's file.
Query leafQuery(const std::string& file, int line, std::vector<std::string> properties,
                std::vector<std::string> labels) {
    return query(file, line, std::move(properties), std::move(labels), "u_mid.u_leaf");
}

// The three-file project configured the way the host configures one:
// database, file table, project row, run limits.
class ProjectTest : public testing::Test {
protected:
    void SetUp() override {
        writeFile(top, kTop);
        writeFile(mid, kMid);
        writeFile(leaf, kLeaf);
        Database::init(dir.file("project.db"));
        QuietLogs quiet;
        Database::instance().clear(true);
        Database::instance().insertProjectStructure(sources());
        Database::instance().insertProjectState(60, 1000, 0, 0, "ns", "top");
        auto& config = wsim_kernel::sim_state::instance().sim_config;
        config = wsim_kernel::sim_state::SimConfig{};
        config.max_sim_time = 60;
    }

    std::vector<std::string> sources() const { return {top, mid, leaf}; }

    std::string compile(const std::vector<std::string>& paths) {
        QuietLogs quiet;
        return WexlaCore::instance().compile(paths);
    }
    // Makes `path` the project's only file and compiles it.
    std::string compileAlone(const std::string& path) {
        Database::instance().clear(true);
        Database::instance().insertProjectStructure({path});
        return compile({path});
    }
    SimulationResult simulate() {
        QuietLogs quiet;
        return WexlaCore::instance().simulate();
    }
    void inject(const std::vector<Query>& queries) {
        QuietLogs quiet;
        WexlaCore::instance().injectAndSimulate(queries);
        injectLog = quiet.errText.str();
    }

    std::vector<std::string> rows(const std::string& sql) {
        return queryRows(Database::instance().handle(), sql);
    }
    std::string row(const std::string& sql) {
        auto all = rows(sql);
        return all.empty() ? "<none>" : all.front();
    }
    int count(const std::string& table) { return Database::instance().getRecordCount(table); }
    std::string fileId(const std::string& path) {
        return std::to_string(Database::instance().getFileID(canonical(path)));
    }
    // The files whose statements the recorded steps ran.
    std::string stepFiles() {
        return row("SELECT group_concat(f) FROM (SELECT DISTINCT current_file_id AS f FROM "
                   "timeline WHERE current_file_id IS NOT NULL ORDER BY f);");
    }
    std::string outcome() {
        return row("SELECT last_simulation_status, last_simulation_error, final_time "
                   "FROM projectstate;");
    }

    // Every recorded step has one timeline row per exported signal it holds,
    // numbered from 0, and nothing else is in the table.
    void expectTimelineRowsOfThisRun() {
        const auto names = rows("SELECT name FROM signals;");
        const std::set<std::string> exported(names.begin(), names.end());
        const auto& steps = wsim_timeseries::TimeSeriesDB::instance().get_timeline();
        ASSERT_FALSE(steps.empty());
        int expected = 0;
        for (const auto& step : steps)
            for (const auto& [name, value] : step.signalState)
                expected += exported.count(name) ? 1 : 0;
        EXPECT_EQ(count("timeline"), expected);
        EXPECT_EQ(row("SELECT MIN(step), MAX(step), COUNT(DISTINCT step) FROM timeline;"),
                  "0|" + std::to_string(steps.size() - 1) + "|" + std::to_string(steps.size()));
    }

    TempDir dir;
    std::string top = dir.file("top.v");
    std::string mid = dir.file("mid.v");
    std::string leaf = dir.file("leaf.sv");
    std::string injectLog;
};

std::string emptyDiagnostics(int status) {
    return "{\n  \"status\": " + std::to_string(status) +
           ",\n  \"errors\": [\n  ],\n  \"warnings\": [\n  ]\n}";
}

const char* const kNotCompiled =
    "{\"status\": 500, \"error\": \"Compilation has not been done!\", \"modules\": {} }";
const char* const kNotFound = "{\"status\": 502, \"error\": \"Module not found!\" , \"modules\":{}}";

} // namespace

TEST(CoreCompile, WithoutADatabaseAnswers501) {
    SKIP_UNLESS_FIRST_IN_PROCESS();
    QuietLogs quiet;
    EXPECT_EQ(WexlaCore::instance().compile({"top.v"}),
              "{\"status\": 501, \"error\": \" Parse exception: Database::init(path) must be "
              "called before Database::instance() \"}");
    EXPECT_EQ(WexlaCore::instance().getSimulationJSON(), WexlaCore::instance().compile({"x.v"}));
    EXPECT_EQ(WexlaCore::instance().getModuleByName("top"), kNotCompiled);

    // The error text is escaped into the answer.
    TempDir dir;
    const std::string unopenable = dir.file("no\"such\tdir") + "/project.db";
    Database::init(unopenable);
    EXPECT_EQ(WexlaCore::instance().compile({"top.v"}),
              "{\"status\": 501, \"error\": \" Parse exception: failed to open/create database "
              "file: " + dir.file("no\\\"such\\tdir") + "/project.db \"}");
}

TEST_F(ProjectTest, InjectionBeforeCompileOnlyClears) {
    SKIP_UNLESS_FIRST_IN_PROCESS();
    ASSERT_TRUE(simulate().success);
    inject({leafQuery(leaf, 4, {"assert property (@(posedge clk) q != 0);"}, {"p_q"})});
    EXPECT_TRUE(contains(injectLog, "[CORE] INITIALIZE ANALYSIS BUILDER FIRST!! \n"));
    EXPECT_TRUE(wsim_timeseries::TimeSeriesDB::instance().get_timeline().empty());
    EXPECT_TRUE(wsim_kernel::sim_state::instance().all_processes().empty());
    EXPECT_FALSE(fs::exists(dir.file("leaf(copy).sv")));
    // The answer says why, and shows no step of the run before.
    EXPECT_EQ(outcome(), "0|no project was compiled: injection needs its sources|0");
    EXPECT_EQ(row("SELECT COUNT(*) FROM timeline;"), "0");
}

// The diagnostics' layout is pinned in error_handling_test.cpp; here, the gate.
TEST_F(ProjectTest, CompileStatusCodesTheDiagnosticsGateAndModuleLookup) {
    SKIP_UNLESS_FIRST_IN_PROCESS();
    EXPECT_EQ(compile({}), emptyDiagnostics(498));
    EXPECT_TRUE(compile({top, mid, dir.file("missing.v")})
                    .starts_with("{\n  \"status\": 499,\n  \"errors\": [\n    {\n      "
                                 "\"description\": \"error: cannot read source \\\"" +
                                 dir.file("missing.v") + "\\\": no such file or directory\","));
    EXPECT_EQ(WexlaCore::instance().getModuleByName("leaf"), kNotCompiled);

    const std::string bad = dir.file("bad.v");
    writeFile(bad, "module bad;\n  wire a\nendmodule\n");
    EXPECT_TRUE(compile({top, mid, leaf, bad}).starts_with("{\n  \"status\": 501,\n"));
    // Nothing behind a failed gate is parsed or exported.
    EXPECT_EQ(WexlaCore::instance().getModuleByName("leaf"), kNotCompiled);
    EXPECT_EQ(count("modules") + count("instances") + count("signals"), 0);

    // A file with warnings only passes the gate, warnings in the answer.
    writeFile(leaf, "module leaf(input logic clk, output logic [3:0] q);\n"
                    "  logic [7:0] wide;\n"
                    "  assign wide = q;\n"
                    "  always @(posedge clk) q <= ~q;\n"
                    "endmodule\n");
    const std::string answer = compile(sources());
    EXPECT_TRUE(answer.starts_with("{\n  \"status\": 200,\n  \"errors\": [\n  ],\n"
                                   "  \"warnings\": [\n    {\n      \"description\": "
                                   "\"warning: implicit conversion"))
        << answer;
    EXPECT_EQ(WexlaCore::instance().getSimulationJSON(), answer);
    EXPECT_EQ(rows("SELECT instance_path, base_module, file_id FROM instances ORDER BY "
                   "instance_id;"),
              (std::vector<std::string>{"top|top|" + fileId(top), "u_mid|mid|" + fileId(top),
                                        "u_mid.u_leaf|leaf|" + fileId(mid)}));
    EXPECT_EQ(rows("SELECT name, file_id FROM modules ORDER BY module_id;"),
              (std::vector<std::string>{"top|" + fileId(top), "mid|" + fileId(mid),
                                        "leaf|" + fileId(leaf)}));

    // Module lookup wraps the design-structure record (pinned in cfg_builder_test.cpp).
    EXPECT_EQ(WexlaCore::instance().getModuleByName("nosuch"), kNotFound);
    EXPECT_EQ(WexlaCore::instance().getModuleByName(""), kNotFound);
    const std::string found = WexlaCore::instance().getModuleByName("leaf");
    EXPECT_TRUE(found.starts_with("{\"status\": 200, \"error\": \"\", \"modules\": {\n"
                                  "   \"leaf\": {\n     \"name\": \"leaf\",\n     \"file\": \"" +
                                  canonical(leaf) + "\",\n"))
        << found;
    EXPECT_TRUE(found.ends_with("     \"instances\": []\n   }}\n}")) << found;

    // A later failed gate leaves the exported design as it was.
    EXPECT_EQ(compile({bad})[0], '{');
    EXPECT_EQ(WexlaCore::instance().getModuleByName("leaf"), found);
    EXPECT_EQ(count("instances"), 3);
}

TEST_F(ProjectTest, CompileThenSimulateLandsTheTimelineRows) {
    compile(sources());
    const SimulationResult r = simulate();
    ASSERT_TRUE(r.success) << r.error_message;
    EXPECT_EQ(r.final_time, 60u);
    expectTimelineRowsOfThisRun();
    // Values reach the rows under the exported names, through both levels of binds.
    EXPECT_EQ(row("SELECT group_concat(v) FROM (SELECT DISTINCT signal_val AS v FROM timeline "
                  "t JOIN signals s ON t.signal_id = s.signal_id WHERE s.name = 'value' AND "
                  "t.time >= 10 ORDER BY v);"),
              "5,10");
    // Every step carries the file of the statement it ran.
    EXPECT_EQ(stepFiles(), fileId(top) + "," + fileId(mid) + "," + fileId(leaf));
    EXPECT_NE(row("SELECT COUNT(*) FROM queuestate WHERE file_id = " + fileId(leaf) + ";"), "0");

    // Every signal recorded has its exported row: none of its rows is refused.
    const auto names = rows("SELECT name FROM signals;");
    for (const auto& [name, info] : wsim_timeseries::TimeSeriesDB::instance().get_signals())
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;

    // The compile's elaboration serves every later run alike.
    const auto timeline = rows("SELECT * FROM timeline;");
    const auto queues = rows("SELECT * FROM queuestate;");
    ASSERT_TRUE(simulate().success);
    EXPECT_EQ(rows("SELECT * FROM timeline;"), timeline);
    EXPECT_EQ(rows("SELECT * FROM queuestate;"), queues);
}

TEST_F(ProjectTest, RunsSayWhyTheyStopped) {
    auto& config = wsim_kernel::sim_state::instance().sim_config;
    compile(sources());
    EXPECT_EQ(simulate().stop_reason, "time limit");
    config.max_sim_time = 0;
    config.max_sim_cycle = 6;
    EXPECT_EQ(simulate().stop_reason, "cycle limit");

    // The simulation's "meta" carries it, and what the model left out beside it.
    WexlaCore::instance().input(
        "module t;\n  logic a = 0;\n  initial #3 $finish;\n  initial a++;\nendmodule\n");
    const SimulationResult finished = simulate();
    EXPECT_EQ(finished.stop_reason, "finish");
    EXPECT_TRUE(contains(finished.simulation_json,
                         "\"meta\": {\n    \"stopReason\": \"finish\",\n    \"notModelled\": "
                         "[{\"file\": \"source\", \"line\": 4, \"construct\": \"increment operator\"}]\n"))
        << finished.simulation_json;
    WexlaCore::instance().input("module t;\n  logic a = 0;\n  initial #3 a = 1;\nendmodule\n");
    EXPECT_EQ(simulate().stop_reason, "no more events");
    WexlaCore::instance().input("module t;\n  wire a = ;\nendmodule\n");
    EXPECT_EQ(simulate().stop_reason, "none");
}

TEST_F(ProjectTest, TextRunsLeaveTheProjectAndAFailedCompileIsNotSimulated) {
    compile(sources());
    // A run builds the indexes it left out while it filled the tables: the
    // schema lists them as before, and queries by them find every row.
    const char* const schema = "SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY rowid";
    const auto fresh = rows(schema);
    ASSERT_TRUE(simulate().success);
    EXPECT_EQ(rows(schema), fresh);
    EXPECT_EQ(rows("SELECT count(*) FROM timeline INDEXED BY timeline_by_time WHERE time >= 0"),
              rows("SELECT count(*) FROM timeline NOT INDEXED"));
    const auto recorded = rows("SELECT * FROM timeline ORDER BY step, signal_id;");
    const int queueRows = count("queuestate");
    Database::instance().insertProperty("p_kept", "p_kept", "top");
    Database::instance().insertAssertionEvent("p_kept", 5, "PASS");

    // A design of other signals: nothing of its run may reach the project's tables.
    WexlaCore::instance().input("module other;\n  logic z = 0;\n"
                                "  initial begin #3 z = 1; #3 $finish; end\nendmodule\n");
    QuietLogs textLog;
    const SimulationResult text = WexlaCore::instance().simulate();
    ASSERT_TRUE(text.success) << text.error_message;
    EXPECT_TRUE(contains(text.simulation_json, "\"signal\": \"z\", \"value\": 1"));
    EXPECT_FALSE(contains(textLog.errText.str(), "failed")) << textLog.errText.str();
    EXPECT_EQ(rows("SELECT * FROM timeline ORDER BY step, signal_id;"), recorded);
    EXPECT_EQ(count("queuestate"), queueRows);
    EXPECT_EQ(count("assertionevents"), 1);

    // The project runs again, not the text; a run for the database only
    // leaves the document out, and the next run writes it again.
    const SimulationResult rowsOnly = WexlaCore::instance().runProject();
    ASSERT_TRUE(rowsOnly.success) << rowsOnly.error_message;
    EXPECT_EQ(rowsOnly.simulation_json, "");
    EXPECT_GT(rowsOnly.total_changes, 0);
    expectTimelineRowsOfThisRun();
    const SimulationResult project = WexlaCore::instance().simulateProject();
    ASSERT_TRUE(project.success) << project.error_message;
    EXPECT_TRUE(contains(project.simulation_json, "\"signal\": \"value\""));
    EXPECT_EQ(project.total_changes, rowsOnly.total_changes);
    expectTimelineRowsOfThisRun();

    // A compile that fails leaves nothing to simulate until one succeeds.
    const std::string bad = dir.file("bad.v");
    writeFile(bad, "module bad;\n  wire a\nendmodule\n");
    compile({bad});
    SimulationResult refused = WexlaCore::instance().simulateProject();
    EXPECT_FALSE(refused.success);
    EXPECT_EQ(refused.error_message,
              "the sources did not compile (compile status 501); the compile answer lists why");
    EXPECT_EQ(refused.stop_reason, "none");
    EXPECT_EQ(count("timeline"), 0);
    compile({top, mid, dir.file("missing.v")});
    EXPECT_TRUE(contains(simulate().error_message, "(compile status 499)"));
    compile(sources());
    EXPECT_TRUE(simulate().success);
}

TEST_F(ProjectTest, RecompileAfterAnEditShowsOnlyTheNewDesign) {
    compile(sources());
    ASSERT_TRUE(simulate().success);
    Database::instance().insertProperty("p_kept", "p_kept", "top");
    const auto firstIds = rows("SELECT MIN(signal_id) FROM signals;");

    writeFile(mid, "module mid(input logic clk, output logic [3:0] q);\n"
                   "  logic [3:0] held;\n"
                   "  leaf u_cell(.clk(clk), .q(held));\n"
                   "  assign q = held;\n"
                   "endmodule\n");
    EXPECT_EQ(compile(sources()), emptyDiagnostics(200));
    EXPECT_EQ(rows("SELECT name FROM signals ORDER BY signal_id;"),
              (std::vector<std::string>{"clk", "value", "u_mid.clk", "u_mid.q", "u_mid.held",
                                        "u_mid.u_cell.clk", "u_mid.u_cell.q"}));
    EXPECT_EQ(rows("SELECT instance_path FROM instances ORDER BY instance_id;"),
              (std::vector<std::string>{"top", "u_mid", "u_mid.u_cell"}));
    EXPECT_EQ(count("modules"), 3);
    EXPECT_EQ(rows("SELECT MIN(signal_id) FROM signals;"), firstIds);
    EXPECT_EQ(count("timeline") + count("queuestate"), 0);
    // The recorder and the kernel let go of the old design's run too.
    EXPECT_TRUE(wsim_timeseries::TimeSeriesDB::instance().get_timeline().empty());
    EXPECT_TRUE(wsim_kernel::sim_state::instance().all_processes().empty());
    // The project's own rows stay.
    EXPECT_EQ(count("projectstructure"), 3);
    EXPECT_EQ(count("projectstate"), 1);
    EXPECT_EQ(rows("SELECT id FROM properties;"), std::vector<std::string>{"p_kept"});

    ASSERT_TRUE(simulate().success);
    expectTimelineRowsOfThisRun();
}

TEST_F(ProjectTest, ForwardStepResumesOnlyAHaltedRun) {
    auto& state = wsim_kernel::sim_state::instance();
    const std::string dbFile = dir.file("project.db");
    compile(sources());
    const std::vector<int> ids = [&] {
        std::vector<int> out;
        for (const auto& r : rows("SELECT instance_id FROM instances;"))
            out.push_back(std::stoi(r));
        return out;
    }();

    // The time limit ends the run: neither halted nor resumed, nothing saved.
    simulate();
    ASSERT_FALSE(state.simulation_halted());
    const std::string lastStep = row("SELECT MAX(step) FROM timeline;");
    {
        QuietLogs quiet;
        const std::string answer = WexlaCore::instance().stepForward(ids, 3);
        EXPECT_EQ(answer, Database::instance().getTimelineForInstanceListByStep(ids, 3));
        EXPECT_NE(answer, "[]");
        EXPECT_TRUE(contains(quiet.errText.str(), "[WEXLACORE STEP FORWARD] cursor=3\n"));
    }
    EXPECT_EQ(row("SELECT MAX(step) FROM timeline;"), lastStep);
    EXPECT_EQ(queryFile(dbFile, "SELECT COUNT(*) FROM sqlite_master;"),
              std::vector<std::string>{"0"});

    // The cycle limit halts it: a forward step saves the file, then runs on.
    state.sim_config.max_sim_time = 0;
    state.sim_config.max_sim_cycle = 6;
    simulate();
    ASSERT_TRUE(state.simulation_halted());
    const std::string halted = row("SELECT MAX(step) FROM timeline;");
    const uint64_t haltedAt = state.sim_time();
    {
        QuietLogs quiet;
        EXPECT_EQ(WexlaCore::instance().stepBackward(ids, 1),
                  Database::instance().getTimelineForInstanceListByStep(ids, 1));
    }
    EXPECT_EQ(row("SELECT MAX(step) FROM timeline;"), halted);
    {
        QuietLogs quiet;
        WexlaCore::instance().stepForward(ids, std::stoi(halted));
    }
    EXPECT_EQ(queryFile(dbFile, "SELECT MAX(step) FROM timeline;"),
              std::vector<std::string>{halted});
    EXPECT_GT(std::stoi(row("SELECT MAX(step) FROM timeline;")), std::stoi(halted));
    EXPECT_GT(state.sim_time(), haltedAt);
    expectTimelineRowsOfThisRun();

    // Halted again at the limit, but finished: a forward step only reads.
    ASSERT_TRUE(state.simulation_halted());
    state.finish_simulation();
    const std::string finished = row("SELECT MAX(step) FROM timeline;");
    {
        QuietLogs quiet;
        WexlaCore::instance().stepForward(ids, 0);
    }
    EXPECT_EQ(row("SELECT MAX(step) FROM timeline;"), finished);
    EXPECT_EQ(queryFile(dbFile, "SELECT MAX(step) FROM timeline;"),
              std::vector<std::string>{halted});
}

TEST_F(ProjectTest, InjectedRunReplacesTheLastRunAndLeavesTheSourcesAlone) {
    compile(sources());
    ASSERT_TRUE(simulate().success);

    // Three properties at one line of leaf.sv, a second query on the same
    // file, and one on top.v.
    inject({leafQuery(leaf, 4,
                      {"assert property (@(posedge clk) q != 4'b0000);",
                       "assert property (@(posedge clk) q == 4'b0000);",
                       "assert property (@(posedge clk) q == 4'b0101);"},
                      {"p_holds", "p_fails", "p_phase"}),
            leafQuery(leaf, 3, {"assert property (@(posedge clk) !$isunknown(q));"}, {"p_known"}),
            query(top, 6,
                  {"assert property (@(posedge clk) value != 4'b1111);",
                   "assert property (@(posedge clk) value == 0 |-> ##[1:$] value != 0);"},
                  {"p_value", "p_ranged"}, "top")});

    EXPECT_EQ(outcome(), "1||60");
    // What is left out is reported against the user's file, not its copy.
    EXPECT_TRUE(contains(injectLog, "[MODEL] " + canonical(top) + ":")) << injectLog;
    EXPECT_FALSE(contains(injectLog, "(copy)")) << injectLog;
    EXPECT_EQ(rows("SELECT id, label, instance_id FROM properties ORDER BY id;"),
              (std::vector<std::string>{"p_fails|p_fails|top.u_mid.u_leaf",
                                        "p_holds|p_holds|top.u_mid.u_leaf",
                                        "p_known|p_known|top.u_mid.u_leaf",
                                        "p_phase|p_phase|top.u_mid.u_leaf",
                                        "p_ranged|p_ranged|top", "p_value|p_value|top"}));
    // The query named the instance without its top: the window still shows the leaf.
    const std::string leafWindow = Database::instance().getPropertyWaveformTimeline(10, 10, "p_holds");
    EXPECT_TRUE(contains(leafWindow, "\"u_mid.u_leaf.q\":")) << leafWindow;
    EXPECT_TRUE(contains(Database::instance().injectAndSimResponse(),
                         "{\"success\": 1,\"error\": \"\",\"finalTime\": 60,\"timeline\": ["));
    // q flips at every clock; each clock judges the value q had before it.
    const std::string events = Database::instance().getAssertionEvents();
    for (const char* event : {"p_holds\",\"time\":5,\"result\":\"PASS",
                              "p_fails\",\"time\":5,\"result\":\"FAIL",
                              "p_phase\",\"time\":5,\"result\":\"PASS",
                              "p_phase\",\"time\":15,\"result\":\"FAIL"})
        EXPECT_TRUE(contains(events, "\"label\":\"" + std::string(event) + "\"")) << events;

    // The copies were simulated, each under its source's file id, and the
    // run's rows replace the previous run's instead of joining them.
    expectTimelineRowsOfThisRun();
    // Both runs number their steps from 0: a joined table would repeat pairs.
    EXPECT_EQ(row("SELECT COUNT(*) - COUNT(DISTINCT step || '-' || signal_id) FROM timeline;"),
              "0");
    EXPECT_EQ(stepFiles(), fileId(top) + "," + fileId(mid) + "," + fileId(leaf));
    EXPECT_NE(row("SELECT COUNT(*) FROM queuestate WHERE file_id = " + fileId(leaf) + ";"), "0");

    // The copies are gone (a ".sv" one too); the user's files are as they were.
    for (const auto& entry : fs::directory_iterator(dir.path()))
        EXPECT_FALSE(contains(entry.path().filename().string(), "(copy)")) << entry.path();
    EXPECT_EQ(readFile(top), kTop);
    EXPECT_EQ(readFile(mid), kMid);
    EXPECT_EQ(readFile(leaf), kLeaf);

    // The injected design stays the current one, copies gone or not, and its
    // rows replace the injected run's.
    ASSERT_TRUE(simulate().success);
    expectTimelineRowsOfThisRun();
    EXPECT_EQ(row("SELECT COUNT(*) - COUNT(DISTINCT step || type || line || file_id || "
                  "ifnull(instance_path, '') || ifnull(when_line, '')) FROM queuestate;"),
              "0");
    EXPECT_EQ(stepFiles(), fileId(top) + "," + fileId(mid) + "," + fileId(leaf));
}

TEST_F(ProjectTest, AFailedInjectionSkipsTheRun) {
    compile(sources());
    ASSERT_TRUE(simulate().success);

    // A missing file: nothing is written beside it, nothing simulated.
    const std::string missing = dir.file("missing.v");
    inject({leafQuery(leaf, 4, {"assert property (@(posedge clk) q != 0);"}, {"p_q"}),
            leafQuery(missing, 1, {"assert property (@(posedge clk) 1);"}, {"p_missing"})});
    const std::string why = "injection failed: " + missing + " is not one of the compiled sources";
    EXPECT_EQ(outcome(), "0|" + why + "|0");
    EXPECT_EQ(count("timeline") + count("queuestate"), 0);
    EXPECT_TRUE(wsim_timeseries::TimeSeriesDB::instance().get_timeline().empty());
    EXPECT_FALSE(fs::exists(dir.file("missing(copy).v")));
    EXPECT_FALSE(fs::exists(dir.file("leaf(copy).sv")));
    EXPECT_EQ(count("properties"), 0);
    EXPECT_TRUE(contains(Database::instance().injectAndSimResponse(),
                         "{\"success\": 0,\"error\": \"" + why + "\""));

    // Every query on one file reaches the design: were the earlier one, naming
    // no real signal, lost behind the later one, the design would build.
    inject({leafQuery(leaf, 3, {"assert property (@(posedge clk) nosuch);"}, {"p_bad"}),
            leafQuery(leaf, 4, {"assert property (@(posedge clk) q != 0);"}, {"p_good"})});
    EXPECT_TRUE(contains(injectLog, "[INJECT AND SIMULATE] Compilation Error after injection\n"
                                    "error json: {\n  \"status\": 501,"));
    EXPECT_TRUE(contains(outcome(), "0|Compilation errors: ")) << outcome();
    EXPECT_TRUE(contains(outcome(), "UndeclaredIdentifier; ")) << outcome();
    EXPECT_EQ(count("timeline"), 0);
    EXPECT_FALSE(fs::exists(dir.file("leaf(copy).sv")));
    EXPECT_EQ(readFile(leaf), kLeaf);

    // The next good injection runs again, and without a project row nothing is recorded.
    inject({leafQuery(leaf, 4, {"assert property (@(posedge clk) q != 0);"}, {"p_q"})});
    EXPECT_EQ(outcome(), "1||60");
    Database::instance().purge("projectstate");
    inject({leafQuery(missing, 1, {"assert property (1);"}, {"p_missing"})});
    EXPECT_EQ(count("projectstate"), 0);
}

TEST_F(ProjectTest, GenerateBlocksExportAndRecordWhatTheyHold) {
    // Instances and signals inside generate blocks get rows named as the
    // simulator names them, so that their values are recorded, not dropped.
    const std::string gen = dir.file("gen.sv");
    writeFile(gen, R"(module inverter(input logic a, output logic y);
  assign y = ~a;
endmodule
module top;
  logic clk = 0;
  wire [2:0] c;
  always #5 clk = ~clk;
  for (genvar i = 0; i < 2; i++) begin : g
    logic [3:0] r = 0;
    always @(posedge clk) r <= r + i + 1;
    inverter u(.a(r[0]), .y(c[i]));
  end
  if (1) begin : on
    logic seen = 0;
    always @(posedge clk) seen <= 1;
  end else begin : off
    logic never = 0;
  end
endmodule
)");
    const std::string compiled = compileAlone(gen);
    EXPECT_NE(compiled.find("\"status\": 200"), std::string::npos) << compiled;
    ASSERT_TRUE(simulate().success);
    EXPECT_EQ(rows("SELECT instance_path FROM instances WHERE instance_path LIKE 'g%' ORDER BY 1;"),
              (std::vector<std::string>{"g[0].u", "g[1].u"}));
    const auto names = rows("SELECT name FROM signals;");
    for (const char* name : {"g[0].r", "g[1].r", "g[1].u.a", "g[1].u.y", "on.seen"})
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
    EXPECT_EQ(std::find(names.begin(), names.end(), "off.never"), names.end());
    for (const auto& [name, info] : wsim_timeseries::TimeSeriesDB::instance().get_signals())
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
    EXPECT_EQ(row("SELECT MAX(t.signal_val) FROM timeline t JOIN signals s ON t.signal_id = "
                  "s.signal_id WHERE s.name = 'g[1].r';"),
              "12");
}

TEST_F(ProjectTest, AnUnbasedLiteralParameterIsOneBitInTheStructureAndTheRun) {
    // slang alone would make P 32 bits of ones, and `wide` two bits.
    const std::string file = dir.file("unbased.sv");
    writeFile(file, R"(module leaf;
  parameter P = 4'd0;
  logic [P+2:0] wide = 0;
  initial #1 wide = wide - 1;
endmodule
module top;
  leaf #('1) u();
endmodule
)");
    const std::string compiled = compileAlone(file);
    EXPECT_NE(compiled.find("\"status\": 200"), std::string::npos) << compiled;
    EXPECT_EQ(row("SELECT width FROM signals WHERE name = 'u.wide';"), "4");
    ASSERT_TRUE(simulate().success);
    EXPECT_EQ(row("SELECT MAX(t.signal_val) FROM timeline t JOIN signals s ON t.signal_id = "
                  "s.signal_id WHERE s.name = 'u.wide';"),
              "15");
}

TEST_F(ProjectTest, ADesignPropertysWindowShowsTheInstanceThatHoldsIt) {
    const std::string checked = dir.file("checked.sv");
    writeFile(checked, R"(module leaf_chk(input logic clk, input logic [3:0] d);
  in_leaf: assert property (@(posedge clk) d != 4'hf);
endmodule
module top;
  logic clk = 0;
  logic [3:0] v = 0;
  always #5 clk = ~clk;
  always @(posedge clk) v <= v + 1;
  in_top: assert property (@(posedge clk) v < 4'hc);
  for (genvar i = 0; i < 1; i++) begin : g
    leaf_chk u(.clk(clk), .d(v));
  end
endmodule
)");
    compileAlone(checked);
    ASSERT_TRUE(simulate().success);
    EXPECT_EQ(rows("SELECT id, instance_id FROM properties ORDER BY id;"),
              (std::vector<std::string>{"in_leaf|top.g[0].u", "in_top|top"}));

    Database& db = Database::instance();
    const std::string leafWindow = db.getPropertyWaveformTimeline(30, 10, "in_leaf");
    EXPECT_TRUE(contains(leafWindow, "\"simulationTime\":20,")) << leafWindow;
    EXPECT_TRUE(contains(leafWindow, "\"g[0].u.d\":")) << leafWindow;
    EXPECT_FALSE(contains(leafWindow, "\"v\":")) << leafWindow;
    const std::string topWindow = db.getPropertyWaveformTimeline(30, 10, "in_top");
    EXPECT_TRUE(contains(topWindow, "\"v\":")) << topWindow;
    EXPECT_FALSE(contains(topWindow, "g[0].u.")) << topWindow;
}

TEST_F(ProjectTest, EveryTopAndAnInstanceNamedAsItsModuleKeepRowsOfTheirOwn) {
    // Two tops with the same names inside, and an instance named as its
    // module: each signal, instance, queue entry and property is its own.
    const std::string tops = dir.file("tops.sv");
    writeFile(tops, R"(module cnt(input logic clk, output logic [3:0] q);
  logic [3:0] r = 0;
  always @(posedge clk) r <= r + 1;
  assign q = r;
endmodule
module ta;
  logic clk = 0;
  wire [3:0] q;
  cnt cnt(.clk(clk), .q(q));
  always #5 clk = ~clk;
  p_a: assert property (@(posedge clk) q < 4'hf);
endmodule
module tb;
  logic clk = 0;
  wire [3:0] q;
  cnt cnt(.clk(clk), .q(q));
  always #3 clk = ~clk;
  p_b: assert property (@(posedge clk) q != 4'h7);
  initial #40 $finish;
endmodule
)");
    compileAlone(tops);
    ASSERT_TRUE(simulate().success);
    EXPECT_EQ(rows("SELECT i.instance_path, p.instance_path FROM instances i LEFT JOIN "
                   "instances p ON i.parent_id = p.instance_id ORDER BY i.instance_path;"),
              (std::vector<std::string>{"cnt|ta", "ta|NULL", "tb|NULL", "tb.cnt|tb"}));
    EXPECT_EQ(rows("SELECT s.name, COUNT(t.step) > 0 FROM signals s LEFT JOIN timeline t "
                   "USING (signal_id) GROUP BY s.signal_id ORDER BY s.name;"),
              (std::vector<std::string>{"clk|1", "cnt.clk|1", "cnt.q|1", "cnt.r|1", "q|1",
                                        "tb.clk|1", "tb.cnt.clk|1", "tb.cnt.q|1", "tb.cnt.r|1",
                                        "tb.q|1"}));
    // Each counter counts the rises of its own top's clock by 40.
    EXPECT_EQ(rows("SELECT s.name, MAX(t.signal_val) FROM timeline t JOIN signals s USING "
                   "(signal_id) WHERE s.name LIKE '%cnt.r' GROUP BY s.name ORDER BY 1;"),
              (std::vector<std::string>{"cnt.r|4", "tb.cnt.r|7"}));
    EXPECT_EQ(rows("SELECT DISTINCT instance_path FROM queuestate ORDER BY 1;"),
              (std::vector<std::string>{"cnt", "ta", "tb", "tb.cnt"}));
    EXPECT_EQ(rows("SELECT id, instance_id FROM properties ORDER BY id;"),
              (std::vector<std::string>{"p_a|ta", "p_b|tb"}));
    const std::string window = Database::instance().getPropertyWaveformTimeline(20, 5, "p_b");
    EXPECT_TRUE(contains(window, "\"tb.q\":")) << window;
    EXPECT_FALSE(contains(window, "\"q\":")) << window;
}

TEST_F(ProjectTest, AnActiveMonitorWaitsInTheMonitorQueueUntilItsRegionRuns) {
    const std::string watch = dir.file("watch.sv");
    writeFile(watch, R"(module watch;
  logic [3:0] n = 0;
  initial begin
    #2 $monitor("n=%0d", n);
    #3 n = 1;
    #4 n = 2;
  end
endmodule
)");
    compileAlone(watch);
    ASSERT_TRUE(simulate().success);
    // Not before the $monitor runs; at every later time step, as its own line.
    EXPECT_EQ(rows("SELECT DISTINCT line, file_id, instance_path, when_line FROM queuestate "
                   "WHERE type = 'monitor' ORDER BY when_line;"),
              (std::vector<std::string>{"4|" + fileId(watch) + "|watch|2",
                                        "4|" + fileId(watch) + "|watch|5",
                                        "4|" + fileId(watch) + "|watch|9"}));
    // It is there when the step that starts a time step is recorded, and gone
    // once the monitor region has run.
    EXPECT_EQ(rows("SELECT s.time, (SELECT COUNT(*) FROM queuestate q WHERE q.step = s.first "
                   "AND q.type = 'monitor'), (SELECT COUNT(*) FROM queuestate q WHERE q.step = "
                   "s.last AND q.type = 'monitor') FROM (SELECT time, MIN(step) AS first, "
                   "MAX(step) AS last FROM timeline GROUP BY time) s ORDER BY s.time;"),
              (std::vector<std::string>{"0|0|0", "2|0|0", "5|1|0", "9|1|0"}));
}

TEST_F(ProjectTest, EscapedNamesAndPortsOfSeveralSignalsAreRecordedAsPorts) {
    // An escaped name has one spelling, the plain one, in the registry and
    // in the rows; a port made of several signals, or of a select of one,
    // connects them as ports of their own.
    const std::string file = dir.file("names.sv");
    writeFile(file, R"(module leaf(input bit \in-x , output bit \out.y );
  assign \out.y = ~\in-x ;
endmodule
module pack(.din({dh, dl}), .dout({oh, ol}), .a(x[5:2]), .c(w[6:3]));
  input bit [1:0] dh, dl;
  output bit [1:0] oh, ol;
  input bit [7:0] x;
  output bit [7:0] w;
  assign oh = dl;
  assign ol = dh;
  assign w = x + 8'd3;
endmodule
module top;
  bit \odd"name = 0;
  bit q;
  bit [3:0] i = 4'b0110, o, sel_in = 4'b0101, sel_out;
  leaf \u-1 (.\in-x (\odd"name ), .\out.y (q));
  pack p(.din(i), .dout(o), .a(sel_in), .c(sel_out));
  initial #1 \odd"name = 1;
endmodule
)");
    compileAlone(file);
    const SimulationResult r = simulate();
    ASSERT_TRUE(r.success);
    EXPECT_TRUE(r.not_modelled.empty());
    const auto names = rows("SELECT name FROM signals;");
    for (const auto& [name, info] : wsim_timeseries::TimeSeriesDB::instance().get_signals())
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
    EXPECT_EQ(rows("SELECT name FROM signals WHERE isPort = 1 ORDER BY name;"),
              (std::vector<std::string>{"p.dh", "p.dl", "p.oh", "p.ol", "p.w", "p.x", "u-1.in-x",
                                        "u-1.out.y"}));
    for (const char* port : {"p.dh", "p.ol", "p.x", "u-1.in-x"})
        EXPECT_TRUE(wsim_timeseries::TimeSeriesDB::instance().get_signals().at(port).isPort) << port;
    auto last = [this](const std::string& name) {
        return row("SELECT t.signal_val FROM timeline t JOIN signals s ON t.signal_id = s.signal_id "
                   "WHERE s.name = '" + name + "' ORDER BY t.step DESC LIMIT 1;");
    };
    EXPECT_EQ(last("odd\"name"), "1");
    EXPECT_EQ(last("q"), "0");
    EXPECT_EQ(last("o"), "9");       // {oh, ol} = {dl, dh}
    EXPECT_EQ(last("p.x"), "20");    // the port is x[5:2]
    EXPECT_EQ(last("sel_out"), "2"); // w[6:3] of 23
}

// Rows that a host's SQL keeps out of the project database fail the run, the
// compile or the injection that wrote them, saying why; once the host lets
// them in again, the same calls succeed.
TEST_F(ProjectTest, RowsThatDidNotLandAreNoSuccess) {
    ASSERT_TRUE(contains(compile(sources()), "\"status\": 200"));
    Database& db = Database::instance();
    const auto sql = [&](const std::string& text) { ASSERT_TRUE(db.exec_sql(text)) << text; };

    sql("CREATE TRIGGER no_rows BEFORE INSERT ON timeline BEGIN SELECT RAISE(ABORT, 'no rows'); "
        "END;");
    SimulationResult run = simulate();
    EXPECT_FALSE(run.success);
    EXPECT_TRUE(contains(run.error_message, "the run's rows did not all reach the project "
                                            "database: ")) << run.error_message;
    EXPECT_TRUE(contains(run.error_message, "the first: no rows")) << run.error_message;
    inject({leafQuery(leaf, 3, {"assert property (@(posedge clk) q != 0);"}, {"p_q"})});
    EXPECT_TRUE(outcome().starts_with("0|the run's rows did not all reach")) << outcome();
    sql("DROP TRIGGER no_rows;");
    EXPECT_TRUE(simulate().success);

    // A table the host dropped: the run's purge of it fails too.
    sql("DROP TABLE queuestate;");
    run = simulate();
    EXPECT_FALSE(run.success);
    EXPECT_TRUE(contains(run.error_message, "no such table: queuestate")) << run.error_message;

    // The design's own rows, at a compile.
    db.clear(true);  // a new project gets its tables back
    db.insertProjectStructure(sources());
    sql("CREATE TRIGGER no_instances BEFORE INSERT ON instances BEGIN SELECT RAISE(ABORT, "
        "'no instances'); END;");
    const std::string answer = compile(sources());
    EXPECT_TRUE(answer.starts_with("{\n  \"status\": 501,")) << answer;
    EXPECT_TRUE(contains(answer, "\"description\": \"error: the design's rows did not all reach "
                                 "the project database: ")) << answer;
    EXPECT_FALSE(simulate().success);
    sql("DROP TRIGGER no_instances;");
    EXPECT_TRUE(contains(compile(sources()), "\"status\": 200"));
    EXPECT_TRUE(simulate().success);

    // A connection made read-only keeps every row out, the outcome's own too:
    // the answer is the run's, not the row's.
    sql("PRAGMA query_only = 1;");
    const SimulationResult injected = WexlaCore::instance().injectAndSimulate(
        {leafQuery(leaf, 3, {"assert property (@(posedge clk) q != 0);"}, {"p_q"})});
    EXPECT_FALSE(injected.success);
    EXPECT_TRUE(contains(injected.error_message, "attempt to write a readonly database"))
        << injected.error_message;
    sql("PRAGMA query_only = 0;");
}

// Modules, statements and queue entries in an `include file, or in a file a
// `line directive names, refer to it by a file id of its own: their rows land
// instead of failing their key.
TEST_F(ProjectTest, FilesTheDesignNamesJoinTheFileTable) {
    const WorkingDirectory inDir(dir.path());  // where a `line name is taken from
    writeFile(dir.file("leaf_body.svh"), "  always @(posedge clk) q <= ~q;\n");
    writeFile(leaf, "module leaf(input logic clk, output logic [3:0] q);\n"
                    "  initial q = 4'b0101;\n"
                    "`include \"leaf_body.svh\"\n"
                    "endmodule\n");
    writeFile(mid, "`include \"mid_module.svh\"\n");
    writeFile(dir.file("mid_module.svh"), kMid);
    writeFile(top, std::string(kTop).replace(std::string(kTop).find("  always"), 0,
                                             "`line 70 \"generated.v\" 0\n"));
    ASSERT_TRUE(contains(compile(sources()), "\"status\": 200"));
    EXPECT_EQ(rows("SELECT id || ' ' || file_path FROM projectstructure ORDER BY id;"),
              (std::vector<std::string>{"1 " + canonical(top), "2 " + canonical(mid),
                                        "3 " + canonical(leaf),
                                        "4 " + canonical(dir.file("mid_module.svh")),
                                        "5 " + canonical(dir.file("leaf_body.svh")),
                                        "6 " + canonical(dir.file("generated.v"))}));
    EXPECT_EQ(row("SELECT file_id FROM modules WHERE name = 'mid';"), "4");
    EXPECT_EQ(row("SELECT instance_path FROM instances WHERE base_module = 'leaf';"),
              "u_mid.u_leaf");
    const SimulationResult run = simulate();
    ASSERT_TRUE(run.success) << run.error_message;
    EXPECT_TRUE(contains("," + stepFiles() + ",", ",5,")) << stepFiles();
    EXPECT_EQ(row("SELECT DISTINCT current_line FROM timeline WHERE current_file_id = 6;"), "70");
}
