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

// What a SystemVerilog engineer reads off the testbench: it checks itself
// (every check passes), the FIFO turns away the push while full and the pop
// while empty, and %0t prints in the 1 ps precision, $time in nanoseconds.
const char* const kExpectedLines[] = {
    "0: rst_n=0\n12000: rst_n=1\n20000 alu  op=0 a=200 b=100 -> y=44 carry=1 zero=0 odd=1  ok\n",
    "40000 alu  5 - 10 is -5 as a signed byte\n",
    "55000 fifo refuses push of 55: full\n",
    "115000 fifo refuses pop: empty\n",
    "128000 reset clears y and the fifo  ok\n132000 done after 132 ns: 22 checks, 0 errors\n"
    "TEST PASSED\n"};

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
    config.max_sim_time = 200; // ns, the configured unit
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

    const std::string output = printedOutput(dir.file("wexla_sim_console.txt"));
    for (const char* lines : kExpectedLines)
        EXPECT_NE(output.find(lines), std::string::npos) << lines << "\nnot in\n" << output;
    EXPECT_TRUE(output.ends_with(kExpectedLines[4])) << output;
    // The run ends on the testbench's $finish, 135 ns in.
    EXPECT_EQ(wsim_kernel::sim_state::instance().stop_reason(), wsim_kernel::stop_reason_t::FINISH);
    EXPECT_EQ(r.final_time, 135000u);

    // Each property passes where its antecedent first holds and never fails;
    // the recorder reports a property when its state changes.
    expectEvents({{"a_max_result", "95000=PASS"}, {"a_fifo_flags", "50000=PASS"},
                  {"a_zero_flag", "70000=PASS"}, {"a_ptrs_meet", "110000=PASS"}});
    EXPECT_EQ(summaryOf("a_max_result"), lineOf("alu.sv", "a_max_result") +
                                              "|u_alu.op|u_alu.result|PASS|0");
    EXPECT_EQ(summaryOf("a_fifo_flags"), lineOf("tb_top.sv", "a_fifo_flags") + "|full||PASS|0");
    EXPECT_EQ(summaryOf("a_zero_flag"), lineOf("tb_top.sv", "a_zero_flag") + "|zero|y|PASS|0");
    EXPECT_EQ(summaryOf("a_ptrs_meet"),
              lineOf("tb_top.sv", "a_ptrs_meet") + "|empty|u_fifo.wptr|PASS|0");
    EXPECT_EQ(wsim_timeseries::TimeSeriesDB::instance().get_property_results().size(), 4u);
}
