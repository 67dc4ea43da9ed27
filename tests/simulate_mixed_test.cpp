// The example testbench of examples/alu_fifo (an ALU and a FIFO under a
// clocked, self-checking testbench, three files) compiled from its files and
// simulated the way the host does it, checked against what its source says
// it prints and asserts.
#include "simulate_support.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace wexla_test;

namespace {

const std::string kExampleDir = std::string(WEXLA_EXAMPLES_DIR) + "/alu_fifo/";

// What a SystemVerilog engineer reads off the testbench: every check passes,
// the FIFO turns away the push while full and the pop while empty, the
// clocked trace prints the values the edge found, and the summary counts 22
// checks. %0t prints in the 1 ps precision, $time in nanoseconds.
const char* const kExpectedOutput =
    "0: rst_n=0\n"
    "12000: rst_n=1\n"
    "20000 alu  op=0 a=200 b=100 -> y=44 carry=1 zero=0 odd=1  ok\n"
    "20000 fifo count=1 full=0 empty=0 head=11  ok\n"
    "30000 alu  op=1 a=50 b=8 -> y=42 carry=0 zero=0 odd=1  ok\n"
    "30000 fifo count=2 full=0 empty=0 head=11  ok\n"
    "40000 alu  op=1 a=5 b=10 -> y=251 carry=1 zero=0 odd=1  ok\n"
    "40000 alu  5 - 10 is -5 as a signed byte\n"
    "40000 fifo count=3 full=0 empty=0 head=11  ok\n"
    "50000 alu  op=2 a=240 b=60 -> y=48 carry=0 zero=0 odd=0  ok\n"
    "50000 fifo count=4 full=1 empty=0 head=11  ok\n"
    "55000 fifo refuses push of 55: full\n"
    "60000 alu  op=3 a=240 b=15 -> y=255 carry=0 zero=0 odd=0  ok\n"
    "60000 fifo count=4 full=1 empty=0 head=11  ok\n"
    "70000 alu  op=4 a=170 b=170 -> y=0 carry=0 zero=1 odd=0  ok\n"
    "70000 fifo count=3 full=0 empty=0 head=22  ok\n"
    "80000 alu  op=5 a=129 b=0 -> y=2 carry=1 zero=0 odd=1  ok\n"
    "80000 fifo count=2 full=0 empty=0 head=33  ok\n"
    "90000 alu  op=6 a=129 b=0 -> y=64 carry=0 zero=0 odd=1  ok\n"
    "90000 fifo count=2 full=0 empty=0 head=44  ok\n"
    "100000 alu  op=7 a=17 b=99 -> y=99 carry=0 zero=0 odd=0  ok\n"
    "100000 fifo count=1 full=0 empty=0 head=66  ok\n"
    "110000 alu  op=7 a=250 b=3 -> y=250 carry=0 zero=0 odd=0  ok\n"
    "110000 fifo count=0 full=0 empty=1  ok\n"
    "115000 fifo refuses pop: empty\n"
    "120000 alu  op=0 a=1 b=1 -> y=250 carry=0 zero=0 odd=0  ok\n"
    "120000 fifo count=0 full=0 empty=1  ok\n"
    "127000: rst_n=0\n"
    "128000 reset clears y and the fifo  ok\n"
    "132000 done after 132 ns: 22 checks, 0 errors\n"
    "TEST PASSED\n";

auto& recorder() { return wsim_timeseries::TimeSeriesDB::instance(); }

// "time=RESULT" for every assertion event of one label, in order.
std::vector<std::string> eventsOf(const std::string& label) {
    std::vector<std::string> out;
    for (const auto& e : recorder().get_all_events())
        if (e.label == label)
            out.push_back(std::to_string(e.time) + "=" + e.result);
    return out;
}

// line|antecedent|consequent|final result|failures
std::string summaryOf(const std::string& label) {
    for (const auto& r : recorder().get_property_results())
        if (r.label == label)
            return std::to_string(r.line) + "|" + r.antecedentSignal + "|" + r.consequentSignal +
                   "|" + r.finalResult + "|" + std::to_string(r.failures.size());
    return "<none>";
}

// The line of the example file on which a labelled statement starts.
std::string lineOf(const std::string& file, const std::string& label) {
    std::istringstream text(readFile(kExampleDir + file));
    int number = 0;
    for (std::string line; std::getline(text, line);) {
        ++number;
        if (line.find("  " + label + ":") == 0)
            return std::to_string(number);
    }
    return "<none>";
}

} // namespace

TEST(SimulateMixed, AluAndFifoTestbenchRunsAsItsSourceSays) {
    TempDir dir;
    const std::vector<std::string> sources = {kExampleDir + "alu.sv", kExampleDir + "fifo.sv",
                                              kExampleDir + "tb_top.sv"};
    Database::init(dir.file("project.db"));
    {
        QuietLogs quiet;
        Database::instance().clear(true);
        Database::instance().insertProjectStructure(sources);
        Database::instance().insertProjectState(200, 10000, 0, 0, "ns", "top");
    }
    auto& config = wsim_kernel::sim_state::instance().sim_config;
    config = wsim_kernel::sim_state::SimConfig{};
    config.max_sim_time = 200000; // 200 ns in the 1 ps precision
    config.max_sim_cycle = 10000;

    std::string diagnostics;
    SimulationResult r;
    {
        QuietLogs quiet;
        diagnostics = WexlaCore::instance().compile(sources);
        r = WexlaCore::instance().simulate();
    }
    EXPECT_EQ(diagnostics, "{\n  \"status\": 200,\n  \"errors\": [\n  ],\n  \"warnings\": [\n  ]\n}");
    ASSERT_TRUE(r.success) << r.error_message;

    EXPECT_EQ(printedOutput(dir.file("wexla_sim_console.txt")), kExpectedOutput);
    // The run ends on the testbench's $finish, 135 ns in.
    EXPECT_EQ(wsim_kernel::sim_state::instance().stop_reason(), wsim_kernel::stop_reason_t::FINISH);
    EXPECT_EQ(r.final_time, 135000u);

    // Each property passes where its antecedent first holds and never fails;
    // the recorder reports a property when its state changes.
    using Events = std::vector<std::string>;
    EXPECT_EQ(eventsOf("a_max_result"), (Events{"95000=PASS"}));
    EXPECT_EQ(eventsOf("a_fifo_flags"), (Events{"50000=PASS"}));
    EXPECT_EQ(eventsOf("a_zero_flag"), (Events{"70000=PASS"}));
    EXPECT_EQ(eventsOf("a_ptrs_meet"), (Events{"110000=PASS"}));
    EXPECT_EQ(summaryOf("a_max_result"), lineOf("alu.sv", "a_max_result") +
                                              "|u_alu.op|u_alu.result|PASS|0");
    EXPECT_EQ(summaryOf("a_fifo_flags"), lineOf("tb_top.sv", "a_fifo_flags") + "|full||PASS|0");
    EXPECT_EQ(summaryOf("a_zero_flag"), lineOf("tb_top.sv", "a_zero_flag") + "|zero|y|PASS|0");
    EXPECT_EQ(summaryOf("a_ptrs_meet"),
              lineOf("tb_top.sv", "a_ptrs_meet") + "|empty|u_fifo.wptr|PASS|0");
    EXPECT_EQ(recorder().get_property_results().size(), 4u);
}
