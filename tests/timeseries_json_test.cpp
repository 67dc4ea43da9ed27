#include "kernel.h"
#include "project_support.h"
#include "timeseries.h"

#include <gtest/gtest.h>

using namespace wexla_test;
using namespace wsim_timeseries;

namespace {

const char* const kNoStep = "{\n  \"step\": -1\n}\n";

// What the initial-state and the simulation documents share for the small run.
const std::string kSignalEntries =
    "    { \"name\": \"\\\\a\\\"b \", \"id\": \"\\\\a\\\"b \", \"line\": 3, "
    "\"isReg\": false, \"isPort\": false, \"width\": 8, \"type\": \"wire\" },\n"
    "    { \"name\": \"a\", \"id\": \"a\", \"line\": 3, \"isReg\": true, "
    "\"isPort\": false, \"width\": 1, \"type\": \"reg\" }";
const std::string kHierarchy =
    "  \"hierarchy\": [\n"
    "    {\n"
    "      \"name\": \"top\",\n"
    "      \"definition\": \"top\",\n"
    "      \"path\": \"top\",\n"
    "      \"line\": 1,\n"
    "      \"signals\": [\"a\"],\n"
    "      \"children\": [\n"
    "        {\n"
    "          \"name\": \"u1\",\n"
    "          \"definition\": \"child\",\n"
    "          \"path\": \"top.u1\",\n"
    "          \"line\": 5,\n"
    "          \"signals\": [\"\\\\a\\\"b \"],\n"
    "          \"children\": [\n"
    "          ]\n"
    "        },\n"
    "        {\n"
    "          \"name\": \"u2\",\n"
    "          \"definition\": \"child\",\n"
    "          \"path\": \"top.u2\",\n"
    "          \"line\": 6,\n"
    "          \"signals\": [],\n"
    "          \"children\": [\n"
    "          ]\n"
    "        }\n"
    "      ]\n"
    "    }\n"
    "  ]";

class RecorderJsonTest : public ProjectTest {
protected:
    void SetUp() override {
        ProjectTest::SetUp();
        file_id = addTopDesign(dir.file("top.sv"));
        rec().clear();
        rec().set_line_ctx_map({{file_id, 10}, {file_id, 11}, {file_id, 12}});
    }
    TimeSeriesDB& rec() { return TimeSeriesDB::instance(); }

    void addSignal(const std::string& name, bool is_reg, int width) {
        rec().register_signal(name, 3, false, is_reg, width);
        db().insertSignal(name, ++ids, dir.file("top.sv"), 3, width, is_reg, 0, "reg", "top", 1);
    }

    // A small run: two signals (one named with quote and backslash), a top
    // with two children, a property (named with a quote) that passes then fails.
    void recordSmallRun() {
        rec().register_module("top", "top", "", 1);
        rec().register_module("u1", "child", "top", 5);
        rec().register_module("u2", "child", "top", 6);
        addSignal("a", true, 1);
        addSignal("\\a\"b ", false, 8);
        rec().register_signal_in_scope("a", "top");
        rec().register_signal_in_scope("\\a\"b ", "top.u1");
        rec().register_property("p\"q", 7, "a", "b");

        QueueState qs;
        qs.future.emplace_back(file_id, 11, 5, "top");
        rec().record_timeline_step(0, -1, qs);

        rec().record_signal_change("a", 1);
        rec().record_signal_change("\\a\"b ", -3);
        rec().record_cause_line("u1.proc");
        rec().record_property_result("p\"q", 7, "PASS", 5);
        qs.clear();
        qs.active.emplace_back(file_id, 10, 5, "top");
        qs.nba.emplace_back(file_id, 11, 5, "top");
        qs.nba.emplace_back(file_id, 12, 5, "top");
        qs.future.emplace_back(file_id, 12, 10, "top");
        qs.future.emplace_back(file_id, 10, 15, "top");
        rec().record_timeline_step(5, 1, qs);

        rec().record_signal_change("a", 0);
        rec().record_property_result("p\"q", 7, "FAIL", 10);
        rec().record_timeline_step(10, 2, QueueState{});
    }

    int file_id = -1;
    int ids = 0;
};

// The answer of a run that failed before its first step: the documents'
// layout is pinned below; here, what an empty run and an error change in it.
TEST_F(RecorderJsonTest, EmptyRecorder) {
    EXPECT_EQ(rec().curr_timestep_to_json(), kNoStep);
    // With no step recorded the final time given is the one written.
    const std::string json = rec().to_json(false, "bad \"x\"\n", 42);
    EXPECT_TRUE(json.starts_with("{\n  \"success\": false,\n  \"error\": \"bad \\\"x\\\"\\n\",\n"
                                 "  \"finalTime\": 42,\n  \"totalChanges\": 0,\n"))
        << json;
    EXPECT_TRUE(json.ends_with("  \"hierarchy\": [\n  ],\n  \"simulation\": {\n"
                               "    \"signals\": [\n\n    ],\n    \"changes\": [\n\n    ],\n"
                               "    \"assertionEvents\": [\n\n    ],\n    \"timeline\": [\n\n    ]\n"
                               "  }\n}\n"))
        << json;
}

TEST_F(RecorderJsonTest, DocumentsOfARun) {
    recordSmallRun();
    EXPECT_EQ(rec().selected_timestep_to_json(1),
              "{\n"
              "  \"step\": 1,\n"
              "  \"simulationTime\": 5,\n"
              "  \"currentLine\": 1,\n"
              "  \"causeLines\": [5],\n"
              "  \"queues\": {\n"
              "    \"active\": [10],\n"
              "    \"inactive\": [],\n"
              "    \"nba\": [11, 12],\n"
              "    \"monitor\": [],\n"
              "    \"observed\": [],\n"
              "    \"future\": [{\"line\": 12, \"when\": 10}, {\"line\": 10, \"when\": 15}]\n"
              "  },\n"
              "  \"signalState\": {\n"
              "    \"\\\\a\\\"b \": -3,\n"
              "    \"a\": 1\n"
              "  },\n"
              "  \"propertyState\": {\n"
              "    \"p\\\"q\": \"PASS\"\n"
              "  }\n"
              "}\n");
    EXPECT_EQ(rec().curr_timestep_to_json(), rec().selected_timestep_to_json(0));
    EXPECT_EQ(rec().selected_timestep_to_json(-1), kNoStep);
    EXPECT_EQ(rec().selected_timestep_to_json(3), kNoStep);

    EXPECT_EQ(rec().simulation_init_to_json(
                  true, "", 99,
                  {"finish", {{"top \"a\".sv", 4, "for loop"}, {"b.sv", 9, "wait statement"}}, {}}),
              "{\n"
              "  \"success\": true,\n"
              "  \"error\": \"\",\n"
              "  \"meta\": {\n"
              "    \"finalTime\": 99,\n"
              "    \"totalCycles\": 3,\n"
              "    \"totalChanges\": 3,\n"
              "    \"stopReason\": \"finish\",\n"
              "    \"notModelled\": [{\"file\": \"top \\\"a\\\".sv\", \"line\": 4, \"construct\": "
              "\"for loop\"}, {\"file\": \"b.sv\", \"line\": 9, \"construct\": \"wait statement\"}]\n"
              "  },\n"
              "  \"signals\": [\n" +
                  kSignalEntries +
                  "\n"
                  "  ],\n"
                  "  \"properties\": [\n"
                  "    { \"label\": \"p\\\"q\", \"line\": 7, \"antecedentSignal\": \"a\", "
                  "\"consequentSignal\": \"b\" }\n"
                  "  ],\n" +
                  kHierarchy + "\n}\n");

    rec().record_property_result("p\"q", 7, "PENDING", 10);  // not an event
    auto& config = wsim_kernel::sim_state::instance().sim_config;
    config.start_time = 5;
    config.time_unit = "ps";
    // The run reached 1234, past the last step kept: the answer says both.
    const std::string json =
        rec().to_json(true, "", 1234, {"time limit", {}, wsim_timeseries::RecordedUntil{2, 10}});
    const std::string head =
        "{\n"
        "  \"success\": true,\n"
        "  \"error\": \"\",\n"
        "  \"finalTime\": 1234,\n"
        "  \"totalChanges\": 3,\n"
        "  \"simulationStartTime\": 5,\n"
        "  \"timeUnit\": \"ps\",\n"
        "  \"meta\": {\n"
        "    \"stopReason\": \"time limit\",\n"
        "    \"notModelled\": [],\n"
        "    \"recordedUntil\": {\"step\": 2, \"time\": 10}\n"
        "  },\n" +
        kHierarchy +
        ",\n"
        "  \"simulation\": {\n"
        "    \"signals\": [\n" +
        kSignalEntries +
        "\n"
        "    ],\n"
        "    \"changes\": [\n"
        "      { \"time\": 5, \"signal\": \"\\\\a\\\"b \", \"value\": -3 },\n"
        "      { \"time\": 5, \"signal\": \"a\", \"value\": 1 },\n"
        "      { \"time\": 10, \"signal\": \"a\", \"value\": 0 }\n"
        "    ],\n"
        "    \"assertionEvents\": [\n"
        "      {\n"
        "        \"propertyId\": 0,\n"
        "        \"label\": \"p\\\"q\",\n"
        "        \"time\": 5,\n"
        "        \"result\": \"PASS\"\n"
        "      },\n"
        "      {\n"
        "        \"propertyId\": 1,\n"
        "        \"label\": \"p\\\"q\",\n"
        "        \"time\": 10,\n"
        "        \"result\": \"FAIL\"\n"
        "      }\n"
        "    ],\n"
        "    \"timeline\": [\n"
        "    {\n"
        "      \"step\": 0,\n"
        "      \"simulationTime\": 0,\n"
        "      \"currentLine\": null,\n"
        "      \"causeLines\": [],\n"
        "      \"queues\": {\n"
        "        \"active\": [],\n"
        "        \"inactive\": [],\n"
        "        \"nba\": [],\n"
        "        \"monitor\": [],\n"
        "        \"observed\": [],\n"
        "        \"future\": [{\"line\": 11, \"when\": 5}]\n"
        "      },\n"
        "      \"signalState\": {\n"
        "        \"\\\\a\\\"b \": 0,\n"
        "        \"a\": 0\n"
        "      },\n"
        "      \"propertyState\": {\n"
        "        \"p\\\"q\": \"VACUOUS\"\n"
        "      }\n"
        "    },\n";
    EXPECT_EQ(json.substr(0, head.size()), head);
    const std::string end =
        "      \"propertyState\": {\n"
        "        \"p\\\"q\": \"FAIL\"\n"
        "      }\n"
        "    }\n"
        "    ]\n"
        "  }\n"
        "}\n";
    EXPECT_EQ(json.substr(json.size() - end.size()), end);
}

// Past the event limit both documents say where events stopped and give each
// property's summary for the whole run; the rest keeps its layout.
TEST_F(RecorderJsonTest, DocumentsPastTheEventLimit) {
    recordSmallRun();
    stderrOf([&] {
        for (uint64_t t = 0; t < TimeSeriesDB::kEventLimit; ++t)
            rec().record_property_result("r", 9, "PASS", 20 + t);
    });
    const std::string init = rec().simulation_init_to_json(true, "", 99, {"finish", {}, {}});
    const auto has = [](const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    };
    EXPECT_TRUE(has(init, "    \"notModelled\": [],\n"
                          "    \"eventsRecordedUntil\": {\"events\": 20000, \"time\": 20017}\n"
                          "  },\n"))
        << init;
    EXPECT_TRUE(has(init, "  \"properties\": [\n"
                          "    { \"label\": \"p\\\"q\", \"line\": 7, \"antecedentSignal\": \"a\", "
                          "\"consequentSignal\": \"b\", \"finalResult\": \"FAIL\", \"evaluations\": 2, "
                          "\"failures\": 1 },\n"
                          "    { \"label\": \"r\", \"line\": 9, \"antecedentSignal\": \"\", "
                          "\"consequentSignal\": \"\", \"finalResult\": \"PASS\", \"evaluations\": "
                          "20000, \"failures\": 0 }\n"
                          "  ],\n"))
        << init;

    const std::string json = rec().to_json(true, "", 1234, {"finish", {}, {}});
    EXPECT_TRUE(has(json, "    \"notModelled\": [],\n"
                          "    \"eventsRecordedUntil\": {\"events\": 20000, \"time\": 20017}\n"
                          "  },\n"));
    EXPECT_TRUE(has(json, "        \"time\": 20017,\n"
                          "        \"result\": \"PASS\"\n"
                          "      }\n"
                          "    ],\n"
                          "    \"properties\": [\n"
                          "      {\"label\": \"p\\\"q\", \"finalResult\": \"FAIL\", \"evaluations\": 2, "
                          "\"failures\": 1},\n"
                          "      {\"label\": \"r\", \"finalResult\": \"PASS\", \"evaluations\": 20000, "
                          "\"failures\": 0}\n"
                          "    ],\n"
                          "    \"timeline\": [\n"));
}

} // namespace
