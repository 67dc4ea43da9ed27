#include "json_escape.h"
#include "project_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>

using namespace wexla_test;

namespace {

// A top with two mid instances, each holding leaves, over four source files; one
// instance and one file have names that need escaping.
class QueriesTest : public ProjectTest {
protected:
    void SetUp() override {
        ProjectTest::SetUp();
        top = stored("top.sv");
        mid = stored("mid.sv");
        leaf = stored("leaf.sv");
        odd = stored("we\"ird.sv");
    }
    std::string stored(const std::string& name) {
        return std::filesystem::weakly_canonical(dir.path() / name).string();
    }

    // Puts the file paths, JSON-escaped, in place of $TOP, $MID, $LEAF and $ODD.
    std::string fill(std::string text) {
        for (const auto& [key, path] : {std::pair<std::string, std::string>{"$TOP", top},
                                        {"$MID", mid}, {"$LEAF", leaf}, {"$ODD", odd}}) {
            for (size_t at; (at = text.find(key)) != std::string::npos;)
                text.replace(at, key.size(), json_escape(path));
        }
        return text;
    }

    void addDesign() {
        ASSERT_TRUE(db().insertProjectStructure({top, mid, leaf, odd}));
        db().insertModule(1, "top", top, 1, 30);
        db().insertModule(2, "mid", mid, 1, 20);
        db().insertModule(3, "leaf", leaf, 1, 10);
        db().insertModule(4, "unused", leaf, 12, 14);
        // Out of id order on purpose: answers list instances by id.
        db().insertInstance(1, "top", top, 1, 30, "top", -1, "top", true);
        db().insertInstance(3, "m2", top, 12, 14, "mid", 1, "top.m2", false);
        db().insertInstance(2, "m1", top, 8, 10, "mid", 1, "top.m1", false);
        db().insertInstance(5, "l2", mid, 5, 6, "leaf", 3, "top.m2.l2", false);
        db().insertInstance(4, "l1", mid, 5, 6, "leaf", 2, "top.m1.l1", false);
        db().insertInstance(6, "odd\"\\\t\f", odd, 7, 7, "leaf", 3, "top.m2.odd", false);
        db().insertSignal("clk", 1, top, 2, 1, 0, 1, "wire", "top", 1);
        db().insertSignal("m1.a", 2, mid, 3, 4, 1, 0, "reg", "mid", 2);
        db().insertSignal("m1.l1.q", 3, leaf, 2, 1, 1, 0, "reg", "leaf", 4);
        db().insertSignal("m2.a", 4, mid, 3, 4, 1, 0, "reg", "mid", 3);
    }

    void addStep(int step, int64_t time, const std::string& file, int line,
                 std::vector<int64_t> values) {
        const char* names[] = {"clk", "m1.a", "m1.l1.q", "m2.a"};
        for (size_t i = 0; i < values.size(); ++i)
            ASSERT_TRUE(db().insertTimeline(step, time, db().getFileID(file), line, names[i],
                                            values[i]));
    }

    // Five steps at times 0, 0, 10, 20 and a time past 32 bits, with queue rows,
    // property states and assertion events.
    void addRun() {
        addDesign();
        addStep(0, 0, top, 5, {0, 0, 0, 0});
        addStep(1, 0, top, -1, {1, 0, 0, 0});
        addStep(2, 10, mid, 7, {1, 3, 0, 0});
        addStep(3, 20, leaf, 2, {0, 3, 1, 0});
        addStep(4, kLate, top, 6, {1, 3, 1, kWide});
        auto queue = [&](int step, const char* type, int line, const std::string& file,
                         const std::string& instance, int64_t when) {
            ASSERT_TRUE(db().insertQueueState(step, type, line, db().getFileID(file), instance,
                                              when));
        };
        queue(0, "active", 5, top, "top", 0);
        queue(0, "nba", 7, mid, "top.m1", 0);
        queue(2, "future", 9, mid, "top.m2", kLate);
        queue(2, "active", 2, leaf, "top.m1.l1", 10);
        queue(2, "active", 3, mid, "top.m2", 10);
        queue(4, "monitor", 4, top, "", -1);
        db().insertProperty("p_req", "p_req", "top.m1");
        db().insertProperty("p_ack", "p_ack", "top");
        db().insertPropertyTimeline(0, "p_req", "VACUOUS");
        db().insertPropertyTimeline(0, "p_ack", "VACUOUS");
        db().insertPropertyTimeline(2, "p_req", "PASS");
        db().insertPropertyTimeline(2, "p_ack", "PENDING");
        db().insertAssertionEvent("p_req", 10, "PASS");
        db().insertAssertionEvent("p_ack", kLate, "FAIL");
        db().insertAssertionEvent("p_ack", 10, "PASS");
    }

    void setWindow(int64_t start, int64_t window) {
        db().exec_sql("DELETE FROM projectstate;");
        db().insertProjectState(100, 1000, 0, 0, "ns", "top");
        db().exec_sql("UPDATE projectstate SET default_simulation_start_time = " +
                      std::to_string(start) + ", waveform_window_size = " +
                      std::to_string(window) + ";");
    }

    std::string top, mid, leaf, odd;
};

const char* const kEmptyQueues = R"("queues":{"active":[],"nba":[],"monitor":[],"future":[]})";

TEST_F(QueriesTest, HierarchyAndPathsWithEscapedNames) {
    addDesign();
    const std::string l1 =
        R"({"instance_name":"l1","module":"leaf","instance_id":4,"file": "$MID","start_line":5,"end_line":6,"children":[]})";
    const std::string m1 =
        R"({"instance_name":"m1","module":"mid","instance_id":2,"file": "$TOP","start_line":8,"end_line":10,"children":[)" +
        l1 + "]}";
    const std::string m2 =
        R"({"instance_name":"m2","module":"mid","instance_id":3,"file": "$TOP","start_line":12,"end_line":14,"children":[)"
        R"({"instance_name":"l2","module":"leaf","instance_id":5,"file": "$MID","start_line":5,"end_line":6,"children":[]},)"
        R"({"instance_name":"odd\"\\\t\f","module":"leaf","instance_id":6,"file": "$ODD","start_line":7,"end_line":7,"children":[]}]})";
    const std::string whole =
        R"([{"instance_name":"top","module":"top","instance_id":1,"file": "$TOP","start_line":1,"end_line":30,"children":[)" +
        m1 + "," + m2 + "]}]";
    EXPECT_EQ(db().getHierarchy(1), fill(whole));
    EXPECT_EQ(db().getHierarchy("top.m1"), fill("[" + m1 + "]"));
    EXPECT_EQ(db().getHierarchy("nope"), "[]");

    // A child shows its parent's tree; a top instance its own; an unknown id "{}".
    EXPECT_EQ(db().getParentHierarchy(4), fill("[" + m1 + "]"));
    EXPECT_EQ(db().getParentHierarchy(1), fill(whole));
    EXPECT_EQ(db().getParentHierarchy(99), "{}");

    EXPECT_EQ(db().getSubtreeInstanceIds(3), (std::vector<int>{3, 5, 6}));
    EXPECT_EQ(db().getSubtreeInstanceIds(42), std::vector<int>{42});

    // Paths follow instance names below the top module.
    EXPECT_EQ(db().findInstanceIDByPath("top"), 1);
    EXPECT_EQ(db().findInstanceIDByPath("top.m2.l2"), 5);
    EXPECT_EQ(db().findInstanceIDByPath("top.m1."), 2);  // a trailing dot adds nothing
    EXPECT_EQ(db().findInstanceIDByPath("top.mid"), -1);  // module name, not instance name
    EXPECT_EQ(db().findInstanceIDByPath("top.m1.l2"), -1);
    EXPECT_EQ(db().findInstanceIDByPath("top..m1"), -1);
    EXPECT_EQ(db().findInstanceIDByPath("m1"), -1);
    EXPECT_EQ(db().findInstanceIDByPath(""), -1);

    // Host SQL could point the top at one of its own descendants: no loop.
    db().exec_sql("UPDATE instances SET parent_id = 2 WHERE instance_id = 1;");
    const std::string tree = db().getHierarchy(2);
    EXPECT_EQ(tree.rfind(R"([{"instance_name":"m1")", 0), 0u);
    EXPECT_NE(tree.find(R"("instance_name":"top")"), std::string::npos);
    EXPECT_EQ(db().getSubtreeInstanceIds(2), (std::vector<int>{2, 1, 4, 3, 5, 6}));
}

TEST_F(QueriesTest, ModulesListTheirInstances) {
    EXPECT_EQ(db().getAllModules(), "[]");
    addDesign();
    EXPECT_EQ(
        db().getAllModules(),
        fill(R"([{"module":"top","file":"$TOP","line":1,"instances":[{"id":1,"name":"top","line":1,"parent":null,"base":"top","hierarchy":"top"}]},)"
             R"({"module":"mid","file":"$MID","line":1,"instances":[{"id":2,"name":"m1","line":8,"parent":1,"base":"mid","hierarchy":"top.m1"},{"id":3,"name":"m2","line":12,"parent":1,"base":"mid","hierarchy":"top.m2"}]},)"
             R"({"module":"leaf","file":"$LEAF","line":1,"instances":[{"id":4,"name":"l1","line":5,"parent":2,"base":"leaf","hierarchy":"top.m1.l1"},{"id":5,"name":"l2","line":5,"parent":3,"base":"leaf","hierarchy":"top.m2.l2"},{"id":6,"name":"odd\"\\\t\f","line":7,"parent":3,"base":"leaf","hierarchy":"top.m2.odd"}]},)"
             R"({"module":"unused","file":"$LEAF","line":12,"instances":[]}])"));
}

// The timeline's layout, pinned once; database_timeline_test.cpp holds every
// timeline member to a reference query over a larger run.
TEST_F(QueriesTest, WholeTimeline) {
    addRun();
    EXPECT_EQ(
        db().getTimeline(),
        fill(R"([{"step":0,"simulationTime":0,"currentFile":"$TOP","currentLine":5,"signalState":{"clk":0,"m1.a":0,"m1.l1.q":0,"m2.a":0},"queues":{"active":[{"file":"$TOP","line":5,"when":0}],"nba":[{"file":"$MID","line":7,"when":0}],"monitor":[],"future":[]}},)"
             R"({"step":1,"simulationTime":0,"currentFile":null,"currentLine":null,"signalState":{"clk":1,"m1.a":0,"m1.l1.q":0,"m2.a":0},)" +
             std::string(kEmptyQueues) + "},"
             R"({"step":2,"simulationTime":10,"currentFile":"$MID","currentLine":7,"signalState":{"clk":1,"m1.a":3,"m1.l1.q":0,"m2.a":0},"queues":{"active":[{"file":"$LEAF","line":2,"when":10},{"file":"$MID","line":3,"when":10}],"nba":[],"monitor":[],"future":[{"file":"$MID","line":9,"when":8589934599}]}},)"
             R"({"step":3,"simulationTime":20,"currentFile":"$LEAF","currentLine":2,"signalState":{"clk":0,"m1.a":3,"m1.l1.q":1,"m2.a":0},)" +
             kEmptyQueues + "},"
             R"({"step":4,"simulationTime":8589934599,"currentFile":"$TOP","currentLine":6,"signalState":{"clk":1,"m1.a":3,"m1.l1.q":1,"m2.a":4294967301},"queues":{"active":[],"nba":[],"monitor":[{"file":"$TOP","line":4,"when":null}],"future":[]}}])"));

}

TEST_F(QueriesTest, PropertyWaveformAroundACentre) {
    addRun();
    EXPECT_EQ(db().getModuleForProperty("p_req"), "top.m1");
    EXPECT_EQ(
        db().getPropertyWaveformTimeline(10, 5, "p_req"),
        fill(R"([{"step":2,"simulationTime":10,"currentFile":"$MID","currentLine":7,"signalState":{"m1.a":3},)" +
             std::string(kEmptyQueues) + "}]"));
    // A radius past the centre reaches below 0 and so includes time 0.
    EXPECT_EQ(db().getPropertyWaveformTimeline(5, 100, "p_ack"),
              db().getTimelineWindow(-95, 105, {1}));
    EXPECT_EQ(db().getPropertyWaveformTimeline(5, 100, "p_ack").rfind(R"([{"step":0,)", 0), 0u);
    EXPECT_EQ(db().getPropertyWaveformTimeline(kLate, 1, "p_ack"),
              db().getTimelineWindow(kLate, kLate, {1}));
    // The largest times stay in range instead of wrapping.
    const uint64_t huge = std::numeric_limits<uint64_t>::max();
    EXPECT_EQ(db().getPropertyWaveformTimeline(huge, huge, "p_ack"),
              db().getTimelineWindow(0, kLate, {1}));

    EXPECT_EQ(stderrOf([&] { EXPECT_EQ(db().getPropertyWaveformTimeline(10, 5, "nope"), "[]"); }),
              "[GET MODULE PROPERTY] failed\n");
}

TEST_F(QueriesTest, InjectionResponse) {
    EXPECT_EQ(db().injectAndSimResponse(),
              R"({"success": 0,"error": "","finalTime": -1,"timeline": []})");
    addRun();
    const std::string timeline = ",\"timeline\": " + db().getTimeline() + "}";
    // No project row: no outcome, and no time reached.
    EXPECT_EQ(db().injectAndSimResponse(), "{\"success\": 0,\"error\": \"\",\"finalTime\": -1" + timeline);
    db().insertProjectState(100, 1000, 0, 10, "ns", "top");
    // The time the run reached, past the last recorded step when recording stopped early.
    db().exec_sql("UPDATE projectstate SET last_simulation_status = 1, last_simulation_error = "
                  "'bad \"x\"' || char(10) || 'line', final_time = 9000000000;");
    EXPECT_EQ(db().injectAndSimResponse(),
              "{\"success\": 1,\"error\": \"bad \\\"x\\\"\\nline\",\"finalTime\": 9000000000" + timeline);
}

TEST_F(QueriesTest, StepsAndTimes) {
    EXPECT_EQ(db().getMaxStep(), -1);
    EXPECT_EQ(db().getTotalSteps(), 0);
    EXPECT_EQ(db().getMaxTime(), -1);
    addRun();
    EXPECT_EQ(db().getMinStep(0), 0);
    EXPECT_EQ(db().getMinStep(5), -1);
    EXPECT_EQ(db().getMinStep(kLate), 4);
    EXPECT_EQ(stderrOf([&] {
                  EXPECT_EQ(db().getMaxStep(0), 1);
                  EXPECT_EQ(db().getMaxStep(kLate), 4);
                  EXPECT_EQ(db().getMaxStep(5), -1);
              }),
              "[DATABASE] 0\n[DATABASE] 1\n[DATABASE] 8589934599\n[DATABASE] 4\n"
              "[DATABASE] 5\n[DATABASE] -1\n");
    EXPECT_EQ(db().getMaxStep(), 4);
    EXPECT_EQ(db().getTotalSteps(), 5);
    EXPECT_EQ(db().getMaxTime(), kLate);
}

TEST_F(QueriesTest, WaveformWindowEnds) {
    using Pair = std::pair<int64_t, int64_t>;
    addRun();
    EXPECT_EQ(db().getMinMaxStepWindow(), Pair(-1, -1));
    EXPECT_EQ(db().getTimeRange(), Pair(-1, -2));

    setWindow(0, 10);  // ends on recorded times
    EXPECT_EQ(db().getMinMaxStepWindow(), Pair(0, 2));
    setWindow(5, 20);  // ends between recorded times
    EXPECT_EQ(db().getMinMaxStepWindow(), Pair(2, 3));
    EXPECT_EQ(db().getTimeRange(), Pair(5, 25));
    setWindow(21, 3);  // no step inside
    EXPECT_EQ(db().getMinMaxStepWindow(), Pair(-1, -1));
    setWindow(kLate + 1, 5);  // after the last step
    EXPECT_EQ(db().getMinMaxStepWindow(), Pair(-1, -1));
    setWindow(kLate - 1, 2);
    EXPECT_EQ(db().getMinMaxStepWindow(), Pair(4, 4));
    setWindow(5, -1);  // no window: the start time
    EXPECT_EQ(db().getMinMaxStepWindow(), Pair(-1, 5));
}

TEST_F(QueriesTest, SignalLists) {
    addRun();
    EXPECT_EQ(
        db().getAllSignals(),
        R"([{"name":"clk","signal_id":1,"line":"2","width":1,"isReg":0,"isPort":1,"type":"wire","module":"top","instance_id":1},)"
        R"({"name":"m1.a","signal_id":2,"line":"3","width":4,"isReg":1,"isPort":0,"type":"reg","module":"mid","instance_id":2},)"
        R"({"name":"m1.l1.q","signal_id":3,"line":"2","width":1,"isReg":1,"isPort":0,"type":"reg","module":"leaf","instance_id":4},)"
        R"({"name":"m2.a","signal_id":4,"line":"3","width":4,"isReg":1,"isPort":0,"type":"reg","module":"mid","instance_id":3}])");
    EXPECT_EQ(
        db().getSignalsByModule("mid"),
        R"([{"name":"m1.a","signal_id":2,"line":"3","width":4,"isReg":1,"isPort":0,"type":"reg"},)"
        R"({"name":"m2.a","signal_id":4,"line":"3","width":4,"isReg":1,"isPort":0,"type":"reg"}])");
    // Host text is a value, never SQL.
    EXPECT_EQ(db().getSignalsByModule("type"), "[]");
    EXPECT_EQ(db().getSignalsByModule("x\" OR 1=1 --"), "[]");

    EXPECT_EQ(db().hierSignalList(), "[]");  // no working hierarchy yet
    db().setCurrentHierarchy(2);
    EXPECT_EQ(
        db().hierSignalList(),
        R"([{"name":"m1.a","id":"m1.a","line":"3","isReg":1,"isPort":0,"width":4,"type":"reg"},)"
        R"({"name":"m1.l1.q","id":"m1.l1.q","line":"2","isReg":1,"isPort":0,"width":1,"type":"reg"}])");
    // Any name as SQLite's JSON functions would write it; a value of a kind the
    // list does not write itself is left to them.
    const auto bySqlite = [&] {
        return rows("SELECT json_group_array(json_object('name', name, 'id', name, 'line', line, "
                    "'isReg', isReg, 'isPort', isPort, 'width', width, 'type', type)) FROM "
                    "(SELECT * FROM signals WHERE instance_id IN (2, 4) ORDER BY signal_id)")
            .front();
    };
    db().insertSignal("m1.\"q\\\t\x01\x1f\x7f\xc3\xa9/", 5, mid, 9, 2, 0, 1, "wire", "mid", 2);
    EXPECT_EQ(db().hierSignalList(), bySqlite());
    EXPECT_TRUE(db().hierSignalList().find(R"("m1.\"q\\\t\u0001\u001f)") != std::string::npos);
    db().exec_sql("UPDATE signals SET width = 2.5 WHERE signal_id = 5;");
    EXPECT_EQ(db().hierSignalList(), bySqlite());
    EXPECT_TRUE(db().hierSignalList().find(R"("width":2.5)") != std::string::npos);
}

TEST_F(QueriesTest, PropertiesChangesAndProjectState) {
    EXPECT_EQ(db().getProjectState(), "");
    EXPECT_EQ(db().getPropertyTimeline(), "[]");
    addRun();
    EXPECT_EQ(
        db().getPropertyTimeline(),
        R"([{"step":0,"propertyState":{"p_ack":"VACUOUS","p_req":"VACUOUS"}},{"step":2,"propertyState":{"p_ack":"PENDING","p_req":"PASS"}}])");
    EXPECT_EQ(db().getPropertyTimelineStep(2), R"({"p_ack":"PENDING","p_req":"PASS"})");
    EXPECT_EQ(db().getPropertyTimelineStep(1), "{}");
    EXPECT_EQ(
        db().getAssertionEvents(),
        R"([{"propertyId":1,"label":"p_req","time":10,"result":"PASS"},{"propertyId":3,"label":"p_ack","time":10,"result":"PASS"},{"propertyId":2,"label":"p_ack","time":8589934599,"result":"FAIL"}])");
    EXPECT_EQ(
        db().getSignalChanges(),
        R"([{"time":0,"signal":1,"value":0},{"time":0,"signal":2,"value":0},{"time":0,"signal":3,"value":0},{"time":0,"signal":4,"value":0},)"
        R"({"time":0,"signal":1,"value":1},{"time":10,"signal":2,"value":3},{"time":20,"signal":1,"value":0},{"time":20,"signal":3,"value":1},)"
        R"({"time":8589934599,"signal":1,"value":1},{"time":8589934599,"signal":4,"value":4294967301}])");
    db().insertProjectState(100, 1000, 5, 20, "ns", "top");
    EXPECT_EQ(
        db().getProjectState(),
        R"({"md5checksum":null,"defaultMaxSimulationTime":100,"defaultMaxSimulationCycle":1000,"defaultSimulationStartTime":5,"defaultSimulationTimeUnit":"ns","defaultWorkingHierarchy":"top"})");
}

TEST_F(QueriesTest, FailedStatementsGiveTheirFallbacks) {
    addRun();
    db().exec_sql("DROP TABLE queuestate;");
    EXPECT_EQ(stderrOf([&] {
                  EXPECT_EQ(db().getTimelineWindow(0, 10, {1}), "[]");
                  EXPECT_EQ(db().getTimelineForInstance(1), "[]");
                  EXPECT_EQ(db().getTimelineForInstanceListByStep({1}, 0), "[]");
                  EXPECT_EQ(db().getTimeline(), "");
                  EXPECT_EQ(db().injectAndSimResponse(),
                            R"({"success": 0,"error": "","finalTime": -1,"timeline": []})");
              }),
              "prepare failed: no such table: queuestate\n"
              "Retrieval failed no such table: queuestate\n"
              "Retrieval failed no such table: queuestate\n");

    db().exec_sql("PRAGMA foreign_keys = OFF; DROP TABLE instances; DROP TABLE signals;");
    EXPECT_EQ(db().getHierarchy(1), "{}");
    EXPECT_EQ(db().getParentHierarchy(1), "{}");
    EXPECT_EQ(db().getSubtreeInstanceIds(1), std::vector<int>{1});
    EXPECT_EQ(db().hierSignalList(), "{}");
    EXPECT_EQ(stderrOf([&] { EXPECT_EQ(db().getSignalsByModule("mid"), ""); }),
              "Retrieval failed no such table: signals\n");

    db().exec_sql("DROP TABLE timeline;");
    EXPECT_EQ(stderrOf([&] {
                  EXPECT_EQ(db().getMinStep(0), -1);
                  EXPECT_EQ(db().getMaxStep(), -1);
                  EXPECT_EQ(db().getMaxTime(), -1);
              }),
              "prepare failed: no such table: timeline\n"
              "prepare failed: no such table: timeline\n");
}

} // namespace
