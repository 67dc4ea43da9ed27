#include "project_support.h"
#include "timeseries.h"

#include <gtest/gtest.h>

using namespace wexla_test;
using namespace wsim_timeseries;

namespace {

class RecorderTest : public ProjectTest {
protected:
    void SetUp() override {
        ProjectTest::SetUp();
        file_id = addTopDesign(source);
        db().insertInstance(2, "u1", source, 5, 20, "top", 1, "top.u1", false);
        // An earlier text run in the same process may have kept it to memory.
        rec().set_database_writes(true);
        rec().clear();
        rec().set_line_ctx_map({{file_id, 10}, {file_id, 11}});
    }
    TimeSeriesDB& rec() { return TimeSeriesDB::instance(); }

    // Registers a signal both in the recorder and in the database.
    void addSignal(const std::string& name, int id) {
        rec().register_signal(name, 3, false, true, 8);
        db().insertSignal(name, id, source, 3, 8, 1, 0, "reg", "top", 1);
    }

    std::string source = dir.file("top.sv");
    int file_id = -1;
};

TEST_F(RecorderTest, RecordsStepsWithRowsForSignalsPropertiesAndQueues) {
    addSignal("a", 1);
    addSignal("b", 2);
    db().insertProperty("p", "p", "top");
    rec().register_property("p", 7, "a", "b");
    rec().record_signal_change("a", kWide);
    rec().record_signal_change("ghost", 9);  // unregistered: ignored

    QueueState q;
    q.active.emplace_back(file_id, 10, kLate, "");
    q.active.emplace_back(file_id, 10, kLate, "");  // same key: written once
    q.future.emplace_back(file_id, 11, kLate + 10, "top.u1");
    rec().register_line_instance(10, "top.u1");
    rec().record_timeline_step(kLate, 1, q);

    ASSERT_EQ(rec().get_timeline().size(), 1u);
    const TimelineStep& step = rec().get_timeline()[0];
    EXPECT_EQ(step.currentLine, 1);
    EXPECT_EQ(step.signalState, (std::map<std::string, int64_t>{{"a", kWide}, {"b", 0}}));
    EXPECT_EQ(step.propertyState, (std::map<std::string, std::string>{{"p", "VACUOUS"}}));
    EXPECT_EQ(rows("SELECT step, time, current_file_id, current_line, signal_id, signal_val FROM "
                   "timeline ORDER BY signal_id"),
              (std::vector<std::string>{"0|8589934599|1|11|1|4294967301",
                                        "0|8589934599|1|11|2|0"}));
    EXPECT_EQ(rows("SELECT step, property_id, state FROM propertytimeline"),
              std::vector<std::string>{"0|p|VACUOUS"});
    // An item without instance takes the one registered for its line.
    EXPECT_EQ(rows("SELECT type, line, file_id, instance_path, when_line FROM queuestate"),
              (std::vector<std::string>{"active|10|1|top.u1|8589934599",
                                        "future|11|1|top.u1|8589934609"}));
}

TEST_F(RecorderTest, DropsRepeatedStepsAndTimeGoingBackward) {
    addSignal("a", 1);
    QueueState q, other_file;
    q.nba.emplace_back(file_id, 10, 5, "top");
    other_file.nba.emplace_back(-1, 10, 5, "top");
    rec().record_timeline_step(5, 0, q);
    rec().record_timeline_step(5, 0, q);           // identical
    rec().record_timeline_step(5, 0, other_file);  // queue items differ only in their file
    rec().record_property_result("p", 1, "PENDING", 5);
    rec().record_timeline_step(5, 0, q);  // only a property state changed
    EXPECT_EQ(rec().get_timeline().size(), 1u);

    rec().record_signal_change("a", 1);
    rec().record_timeline_step(4, 0, q);  // earlier time, new value: still dropped
    EXPECT_EQ(rec().get_timeline().size(), 1u);

    rec().record_timeline_step(5, 0, q);
    q.nba.emplace_back(file_id, 11, 5, "top");
    rec().record_timeline_step(5, 0, q);
    rec().record_timeline_step(6, -1, q);
    ASSERT_EQ(rec().get_timeline().size(), 4u);
    EXPECT_EQ(rec().get_timeline()[3].step, 3);
    // Line context -1 stores no file and no line.
    EXPECT_EQ(rows("SELECT current_file_id, current_line FROM timeline WHERE step = 3"),
              std::vector<std::string>{"NULL|NULL"});
}

TEST_F(RecorderTest, StopsAtTheRowLimitCountingSignalsWithoutRowsUntilCleared) {
    addSignal("a", 1);
    rec().register_signal("loop_i", 4, false, true, 32);  // no signals row
    EXPECT_EQ(stderrOf([&] { rec().record_timeline_step(0, 0, QueueState{}); }),
              "[TIMESERIES] signal loop_i has no row in the signals table; it is not recorded\n");
    QueueState q;
    q.nba.emplace_back(file_id, 10, 1, "top");
    std::string later;
    for (int t = 1; !rec().is_recording_stopped(); ++t) {
        rec().record_signal_change("loop_i", t);
        later += stderrOf([&] { rec().record_timeline_step(static_cast<uint64_t>(t), 0, q); });
    }
    // The record holds 20,000 rows (two a step), of which the table holds a's.
    EXPECT_EQ(later, "[TIMESERIES] row limit reached at step 10000\n");
    ASSERT_EQ(rec().get_timeline().size(), 10000u);
    EXPECT_EQ(rec().get_timeline().back().signalState.at("loop_i"), 9999);
    EXPECT_EQ(db().getRecordCount("timeline"), 10000);
    EXPECT_EQ(rows("SELECT DISTINCT signal_id FROM timeline"), std::vector<std::string>{"1"});
    // Once stopped, values are no longer gathered and no queue row is written.
    const int queueRows = db().getRecordCount("queuestate");
    rec().record_signal_change("a", 2);
    rec().record_timeline_step(20000, 0, q);
    EXPECT_EQ(rec().get_current_signal_state().at("a"), 0);
    EXPECT_EQ(db().getRecordCount("queuestate"), queueRows);
    EXPECT_EQ(rec().get_timeline().size(), 10000u);

    // A new run records again.
    db().purge("timeline");
    rec().clear();
    rec().register_signal("a", 3, false, true, 8);
    rec().record_timeline_step(0, 0, q);
    EXPECT_FALSE(rec().is_recording_stopped());
    EXPECT_EQ(db().getRecordCount("timeline"), 1);
}

TEST_F(RecorderTest, QueueRowsStopAtTheirLimitWhileStepsGoOn) {
    addSignal("a", 1);
    auto queuesAt = [&](uint64_t t) {
        QueueState q;
        for (int i = 0; i < 1000; ++i)
            q.future.emplace_back(file_id, 10, t + 1 + static_cast<uint64_t>(i), "top");
        q.future.push_back(q.future.front());  // a repeated entry is one row
        return q;
    };
    std::string log;
    for (uint64_t t = 0; t < 201; ++t)
        log += stderrOf([&] { rec().record_timeline_step(t, 0, queuesAt(t)); });
    EXPECT_EQ(log, "[TIMESERIES] queue row limit reached at step 200\n");
    EXPECT_EQ(db().getRecordCount("queuestate"), TimeSeriesDB::kQueueRowLimit);
    ASSERT_EQ(rec().get_timeline().size(), 201u);
    EXPECT_EQ(rec().get_timeline()[199].queues.future.size(), 1001u);
    EXPECT_TRUE(rec().get_timeline()[200].queues.future.empty());
    EXPECT_TRUE(rec().is_queue_recording_stopped());

    // Repeats are still recognised by the queues given, and steps go on without queues.
    rec().record_timeline_step(200, 0, queuesAt(200));
    EXPECT_EQ(rec().get_timeline().size(), 201u);
    rec().record_timeline_step(200, 0, queuesAt(201));
    rec().record_signal_change("a", 1);
    rec().record_timeline_step(300, 0, queuesAt(300));
    ASSERT_EQ(rec().get_timeline().size(), 203u);
    EXPECT_TRUE(rec().get_timeline()[202].queues.future.empty());
    EXPECT_EQ(db().getRecordCount("queuestate"), TimeSeriesDB::kQueueRowLimit);
    EXPECT_EQ(db().getRecordCount("timeline"), 203);

    rec().clear();
    EXPECT_FALSE(rec().is_queue_recording_stopped());
}

TEST_F(RecorderTest, PropertyStatesStopAtTheirLimitWhileStepsGoOn) {
    addSignal("a", 1);
    for (int i = 0; i < 1000; ++i)
        rec().register_property("p" + std::to_string(i), 1, "", "");
    std::string log;
    for (uint64_t t = 0; t < 202; ++t)
        log += stderrOf([&] { rec().record_timeline_step(t, 0, QueueState{}); });
    EXPECT_EQ(log, "[TIMESERIES] property row limit reached at step 200\n");
    EXPECT_TRUE(rec().is_property_state_recording_stopped());
    EXPECT_EQ(db().getRecordCount("propertytimeline"), TimeSeriesDB::kPropertyRowLimit);
    EXPECT_EQ(rows("SELECT MAX(step) FROM propertytimeline"), std::vector<std::string>{"199"});
    ASSERT_EQ(rec().get_timeline().size(), 202u);
    EXPECT_EQ(rec().get_timeline()[199].propertyState.size(), 1000u);
    EXPECT_TRUE(rec().get_timeline()[200].propertyState.empty());
    EXPECT_TRUE(rec().get_timeline()[201].propertyState.empty());
    EXPECT_EQ(db().getRecordCount("timeline"), 202);

    rec().clear();
    EXPECT_FALSE(rec().is_property_state_recording_stopped());
}

TEST_F(RecorderTest, EventsStopAtTheirLimitWhileSummariesCountOn) {
    const int limit = TimeSeriesDB::kEventLimit;
    rec().register_property("p", 4, "a", "b");
    // p passes at even times and fails at odd ones; q, never registered,
    // first reports past the limit.
    const std::string log = stderrOf([&] {
        for (int i = 0; i < limit + 11; ++i)
            rec().record_property_result("p", 4, i % 2 ? "FAIL" : "PASS", static_cast<uint64_t>(i));
        rec().record_property_result("p", 4, "PENDING", 99999);  // a state, not an evaluation
        rec().record_property_result("q", 8, "FAIL", 99999);
    });
    EXPECT_EQ(log, "[TIMESERIES] assertion event limit reached at event 20000, time 20000\n");
    EXPECT_TRUE(rec().is_event_recording_stopped());

    // The stored events are the first ones, in memory and in the table alike.
    ASSERT_EQ(rec().get_all_events().size(), static_cast<size_t>(limit));
    EXPECT_EQ(rec().get_all_events().back().propertyId, limit - 1);
    EXPECT_EQ(db().getRecordCount("assertionevents"), limit);
    EXPECT_EQ(rows("SELECT MAX(time) FROM assertionevents"), std::vector<std::string>{"19999"});

    // The summaries count the whole run.
    const auto& results = rec().get_property_results();
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].evaluations, limit + 11);
    EXPECT_EQ(results[0].failureCount, (limit + 11) / 2);
    EXPECT_EQ(results[0].finalResult, "PASS");
    EXPECT_EQ(results[0].failures.size(), static_cast<size_t>(limit / 2));
    EXPECT_EQ(results[1].evaluations, 1);
    EXPECT_EQ(results[1].failureCount, 1);
    EXPECT_EQ(results[1].finalResult, "FAIL");
    EXPECT_TRUE(results[1].failures.empty());
    EXPECT_EQ(rec().get_current_property_state().at("p"), "PENDING");
    EXPECT_EQ(rows("SELECT id FROM properties ORDER BY id"), (std::vector<std::string>{"p", "q"}));

    EXPECT_EQ(rec().events_recorded_until_json(true), "{\"events\":20000,\"time\":19999}");
    EXPECT_EQ(rec().property_summaries_json("", true),
              "[{\"label\":\"p\",\"finalResult\":\"PASS\",\"evaluations\":20011,\"failures\":10005},"
              "{\"label\":\"q\",\"finalResult\":\"FAIL\",\"evaluations\":1,\"failures\":1}]");

    // The next run records again from its start.
    rec().clear();
    EXPECT_FALSE(rec().is_event_recording_stopped());
    rec().record_property_result("p", 4, "FAIL", 3);
    EXPECT_EQ(rec().get_all_events().size(), 1u);
    EXPECT_EQ(rec().get_property_results()[0].evaluations, 1);
    EXPECT_EQ(db().getRecordCount("assertionevents"), 1);
}

TEST_F(RecorderTest, HierarchyLinesAndCauses) {
    rec().register_module("top", "top", "", 1);
    rec().register_module("u1", "child", "top", 5);
    rec().register_module("u1", "other", "top", 9);     // same path: ignored
    rec().register_module("x", "child", "nowhere", 7);  // unknown parent: a root
    const auto& roots = rec().get_hierarchy_roots();
    ASSERT_EQ(roots.size(), 2u);
    ASSERT_EQ(roots[0]->children.size(), 1u);
    EXPECT_EQ(roots[0]->children[0]->path, "top.u1");
    EXPECT_EQ(roots[0]->children[0]->definition, "child");
    EXPECT_EQ(roots[1]->path, "nowhere.x");
    rec().register_signal_in_scope("top.u1.q", "top.u1");
    rec().register_signal_in_scope("q", "absent");
    EXPECT_EQ(roots[0]->children[0]->signals, std::vector<std::string>{"top.u1.q"});
    EXPECT_EQ(rec().get_line_context(2), std::make_pair(-1, -1));

    // A cause is the line of the instance its process name starts with, once.
    for (const char* process : {"nodot", "u1.always_0", "u1.always_1", "top.x", "zz.p"})
        rec().record_cause_line(process);
    rec().record_timeline_step(0, -1, QueueState{});
    EXPECT_EQ(rec().get_timeline()[0].causeLines, (std::vector<int>{1, 5}));
    rec().record_timeline_step(1, -1, QueueState{});
    EXPECT_TRUE(rec().get_timeline()[1].causeLines.empty());
}

TEST_F(RecorderTest, PropertyResultsAndEvents) {
    rec().register_property("p", 4, "req", "ack");
    rec().register_property("p", 99, "x", "y");  // first registration wins
    rec().record_property_result("p", 4, "PASS", 10);
    rec().record_property_result("p", 4, "PENDING", 11);
    rec().record_property_result("q", 8, "FAIL", (uint64_t{1} << 34));

    const auto& results = rec().get_property_results();
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].line, 4);
    EXPECT_EQ(results[0].finalResult, "PASS");
    EXPECT_EQ(results[1].label, "q");
    EXPECT_EQ(results[1].finalResult, "FAIL");
    ASSERT_EQ(results[1].failures.size(), 1u);
    EXPECT_EQ(rec().get_current_property_state().at("p"), "PENDING");

    // Rows go to the project database itself, where its queries see them.
    EXPECT_EQ(rows("SELECT id, label, instance_id FROM properties ORDER BY id"),
              (std::vector<std::string>{"p|p|", "q|q|"}));
    EXPECT_EQ(rows("SELECT property_id, time, result FROM assertionevents ORDER BY id"),
              (std::vector<std::string>{"p|10|PASS", "q|17179869184|FAIL"}));

    // A property injected with its module keeps that row.
    db().insertProperty("r", "r", "top.u1");
    rec().register_property("r", 2, "", "");
    EXPECT_EQ(rows("SELECT instance_id FROM properties WHERE id = 'r'"),
              std::vector<std::string>{"top.u1"});

    // Design assertions record their state rows without foreign-key failures.
    EXPECT_EQ(stderrOf([&] { rec().record_timeline_step(0, -1, QueueState{}); }), "");
    EXPECT_EQ(db().getRecordCount("propertytimeline"), 3);

    rec().clear();
    EXPECT_EQ(db().getRecordCount("assertionevents"), 0);
    EXPECT_EQ(db().getRecordCount("propertytimeline"), 0);
    EXPECT_EQ(db().getRecordCount("properties"), 3);
    EXPECT_TRUE(rec().get_all_events().empty());
}

TEST_F(RecorderTest, TotalChangesAndCursor) {
    addSignal("a", 1);
    addSignal("b", 2);
    const int64_t a_values[] = {0, 0, 1, 1, 0};
    rec().record_signal_change("b", 5);
    for (int t = 0; t < 5; ++t) {
        rec().record_signal_change("a", a_values[t]);
        rec().record_timeline_step(t, -1, QueueState{});
    }
    // a: 0,0,1,1,0 gives 2 changes; b: 5 throughout gives 1.
    EXPECT_EQ(rec().get_total_changes(), 3);
    // A signal that comes later counts from its first value that is not 0,
    // as the walk over all steps counts it.
    addSignal("0first", 3);
    rec().record_signal_change("0first", 7);
    rec().record_signal_change("a", 1);
    rec().record_timeline_step(5, -1, QueueState{});
    int walked = 0;
    for_each_change(rec().get_timeline(), [&](const auto&, const auto&, int64_t) { ++walked; });
    EXPECT_EQ(walked, 5);
    EXPECT_EQ(rec().get_total_changes(), walked);

    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(rec().step_forward());
    EXPECT_TRUE(rec().step_forward());
    EXPECT_FALSE(rec().step_forward());
    EXPECT_EQ(TimeSeriesDB::get_cursor(), 5);
    rec().clear();
    EXPECT_EQ(TimeSeriesDB::get_cursor(), 0);
    EXPECT_EQ(rec().get_total_changes(), 0);
    EXPECT_FALSE(rec().step_forward());
    EXPECT_EQ(TimeSeriesDB::get_cursor(), -1);
    EXPECT_FALSE(rec().step_backward());
    EXPECT_EQ(TimeSeriesDB::get_cursor(), 0);
}

TEST(RecorderWithoutDatabase, RecordingNeedsAnInitialisedDatabase) {
    SKIP_UNLESS_FIRST_IN_PROCESS();
    TimeSeriesDB& rec = TimeSeriesDB::instance();
    EXPECT_THROW(rec.record_timeline_step(0, -1, QueueState{}), std::runtime_error);
    EXPECT_TRUE(rec.get_timeline().empty());
}

} // namespace
