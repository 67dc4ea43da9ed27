// What the model builder makes of a design: the registry, the line-context
// table, port binds, the time base, and the report of what it left out.
#include "builder_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <vector>

using wexla_test::buildDesign;
using wsim_kernel::sim_state;

namespace {

// Builds `text` with standard error captured.
std::pair<wexla_test::BuiltDesign, std::string> buildCapturingErrors(const std::string& text) {
    std::ostringstream err;
    auto d = [&] {
        const wexla_test::StreamRedirect toErr(std::cerr, err.rdbuf());
        return buildDesign(text);
    }();
    return {std::move(d), err.str()};
}

} // namespace

TEST(Builder, RegistryJsonByteForByte) {
    auto d = buildDesign(R"(
module top(input logic clk, output logic [3:0] q);
  parameter [4:0] P = 300;
  logic [8:0] nine;
  logic [63:0] wide;
  logic [3:0] ones = 4'hF;
  assign q = ones + P;
endmodule
)");
    EXPECT_EQ(d.builder->exportRegistryJSON(),
              "{\"signals\":[\n"
              "  {\"name\":\"clk\",\"position\":1,\"width\":1,\"type\":\"BIT\",\"isPort\":true,\"isReg\":false},\n"
              "  {\"name\":\"nine\",\"position\":1,\"width\":9,\"type\":\"LONG\",\"isPort\":false,\"isReg\":true},\n"
              "  {\"name\":\"ones\",\"position\":2,\"width\":4,\"type\":\"BYTE\",\"isPort\":false,\"isReg\":true},\n"
              "  {\"name\":\"q\",\"position\":1,\"width\":4,\"type\":\"BYTE\",\"isPort\":true,\"isReg\":false},\n"
              "  {\"name\":\"wide\",\"position\":2,\"width\":64,\"type\":\"LONG\",\"isPort\":false,\"isReg\":true}\n"
              "]}");
    // An initial value is the starting state and is recorded as such; a
    // parameter is a value in the expressions, not a signal.
    EXPECT_EQ(sim_state::instance().read({wsim_kernel::operand_t::BYTE, d.pos("ones")}), 15);
    EXPECT_EQ(wsim_timeseries::TimeSeriesDB::instance().get_current_signal_state().at("ones"), 15);
    EXPECT_FALSE(d.has("P"));

    SimulatorBuilder empty(nullptr);
    EXPECT_EQ(empty.exportRegistryJSON(), "{\"signals\":[\n\n]}");
}

TEST(Builder, TheTimeBaseIsTheFinestPrecisionOfAllModules) {
    buildDesign(R"(`timescale 1ns/1ns
module top;
  child c();
endmodule
`timescale 1ps/1ps
module child;
endmodule
)");
    const auto& ts = sim_state::instance().timescale();
    EXPECT_TRUE(ts.was_set);
    EXPECT_EQ(ts.time_unit_ps, 1000u);
    EXPECT_EQ(ts.time_prec_ps, 1u);

    buildDesign(R"(`timescale 10ns/100fs
module top;
endmodule
)");
    EXPECT_EQ(ts.time_unit_ps, 10000u);
    EXPECT_EQ(ts.time_prec_ps, 0u); // below a picosecond

    buildDesign("module top; endmodule");
    EXPECT_FALSE(ts.was_set);
}

TEST(Builder, ASecondDriverOfANetIsLeftOutAndReported) {
    auto [d, err] = buildCapturingErrors(R"(module top;
  logic a = 0, b = 1;
  wire w;
  wire [7:0] v;
  assign w = a;
  assign w = b;
  assign v[3:0] = 4'h1;
  assign v[7:4] = 4'h2;
endmodule
)");
    EXPECT_NE(err.find("[MODEL] source:6: net with more than one driver is not modelled; left out\n"),
              std::string::npos)
        << err;
    ASSERT_EQ(d.builder->notModelled().size(), 1u);
    // The first driver stays: w follows a alone.
    int drivers_of_w = 0;
    for (const auto& proc : sim_state::instance().all_processes())
        drivers_of_w += proc.name() == "w_drv";
    EXPECT_EQ(drivers_of_w, 1);
}

TEST(Builder, TaskInliningStopsAtALimitInsteadOfGrowingExponentially) {
    // Every task calls the next twice: inlined in full, 2^30 copies of the
    // last one's body, whether that body is modelled or left out.
    for (const std::string counter : {"logic [63:0] n = 0;", "logic [99:0] n = 0;"}) {
        std::string text = "module top;\n  " + counter + "\n";
        for (int i = 0; i < 30; ++i)
            text += "  task t" + std::to_string(i) + "; t" + std::to_string(i + 1) + "; t" +
                    std::to_string(i + 1) + "; endtask\n";
        text += "  task t30; n = n + 1; endtask\n  initial t0;\nendmodule\n";
        auto [d, err] = buildCapturingErrors(text);
        if (const auto* init = d.process("init")) {
            EXPECT_LT(init->number_of_statements(), 250000) << counter;
        }
        bool reported_limit = false;
        for (const auto& n : d.builder->notModelled())
            reported_limit = reported_limit || n.construct == "task call past the limit of inlined statements";
        EXPECT_TRUE(reported_limit) << counter;
    }
}

TEST(Builder, ADefparamThatChangesAParametersTypeLeavesItsUsesOut) {
    // slang keeps Q's declared four bits, where the defparam makes it a
    // signed integer (-2, not 14); L is built on it. P keeps its type.
    auto [d, err] = buildCapturingErrors(R"(module leaf;
  parameter P = 12;
  parameter Q = 4'd3;
  localparam L = Q + 1;
  logic [7:0] p_seen = 0, q_seen = 0, l_seen = 0;
  initial begin
    p_seen = P;
    q_seen = Q;
    l_seen = L;
  end
endmodule
module top;
  defparam a.P = 5;
  defparam a.Q = -2;
  leaf a();
endmodule
)");
    std::vector<int> lines;
    for (const auto& n : d.builder->notModelled()) {
        EXPECT_EQ(n.construct, "defparam that changes a parameter's type");
        lines.push_back(n.line);
    }
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<int>{8, 9, 14})) << err;
}

TEST(Builder, OnlyALoneUnbasedLiteralOfAnUntypedParameterMakesTheModelsOwnTree) {
    // The copy keeps the sources' files and lines: its reports point where
    // the design does.
    auto [d, err] = buildCapturingErrors(R"(module m;
  parameter P = 4'd0;
  logic [3:0] v = 0;
  initial
    v = P;
endmodule
module top;
  m #('x) u();
endmodule
)");
    ASSERT_TRUE(d.model);
    ASSERT_EQ(d.builder->notModelled().size(), 1u) << err;
    EXPECT_EQ(d.builder->notModelled()[0].line, 5);
    EXPECT_EQ(d.builder->notModelled()[0].construct, "x/z value");
    EXPECT_NE(err.find("[MODEL] source:5: x/z value"), std::string::npos) << err;

    const auto typed = buildDesign(R"(module m;
  parameter logic [3:0] P = 0;
  localparam Q = '1 + 0;
endmodule
module top;
  m #('1) u();
endmodule
)");
    EXPECT_FALSE(typed.model);
}

TEST(Builder, ADeclarationLeftOutHasNoSignalAndEveryUseIsReported) {
    // Vectors wider than 64 bits, nets two-valued cells of one driver
    // cannot be, and nets with a delay: declared, read, driven, connected.
    auto [d, err] = buildCapturingErrors(R"(module leaf(input logic [99:0] wi, output logic [69:0] wo, input wand pw);
endmodule
module top(input logic [79:0] tp);
  logic a = 1;
  logic [3:0] kept = 4'd3;
  logic [99:0] huge = 100'h5;
  wand wa; wor wo; triand ta; trior tr; tri0 t0; tri1 t1; trireg tg;
  wire #2 wd = a;
  wire plain = a;
  assign wa = a;
  initial kept = huge[3:0];
  initial kept = t1;
  always @(wd) kept = 1;
  leaf u(.wi(huge), .wo(), .pw(a));
endmodule
)");
    std::vector<std::string> reported;
    for (const auto& n : d.builder->notModelled())
        reported.push_back(std::to_string(n.line) + ": " + n.construct);
    std::sort(reported.begin(), reported.end());
    EXPECT_EQ(reported, (std::vector<std::string>{
                            "10: wand net", "11: vector wider than 64 bits", "12: tri1 net",
                            "13: net delay", "14: vector wider than 64 bits", "14: wand net",
                            "1: vector wider than 64 bits", "1: wand net",
                            "3: vector wider than 64 bits", "6: vector wider than 64 bits",
                            "7: tri0 net", "7: tri1 net", "7: triand net", "7: trior net",
                            "7: trireg net", "7: wand net", "7: wor net", "8: net delay"}))
        << err;
    // No cell to show a value the run never computed: neither in the model
    // nor in what the recorder lists and records.
    const auto& recorded = wsim_timeseries::TimeSeriesDB::instance().get_signals();
    for (const char* name :
         {"tp", "huge", "wa", "wo", "ta", "tr", "t0", "t1", "tg", "wd", "u.wi", "u.wo", "u.pw"}) {
        EXPECT_FALSE(d.has(name)) << name;
        EXPECT_EQ(recorded.count(name), 0u) << name;
    }
    for (const char* name : {"a", "kept", "plain"})
        EXPECT_TRUE(d.has(name)) << name;
    EXPECT_NE(d.process("plain_drv"), nullptr);
}

TEST(Builder, EveryTopsPortsAreSignalsOfTheirOwn) {
    // The first top has an instance named like the second top, with a port
    // of the same name: three signals called clk, three cells.
    auto d = buildDesign(R"(module a;
  logic clk = 1;
  leaf b();
endmodule
module leaf(input logic clk);
endmodule
module b(input logic clk, output logic [3:0] q);
endmodule
)");
    ASSERT_TRUE(d.has("clk") && d.has("b.clk") && d.has("b.clk#2") && d.has("b.q")) << d.builder->exportRegistryJSON();
    EXPECT_FALSE(d.has("q"));
    std::set<int> cells{d.pos("clk"), d.pos("b.clk"), d.pos("b.clk#2")};
    EXPECT_EQ(cells.size(), 3u);
    // The second top's clk is no copy of the first top's.
    EXPECT_EQ(sim_state::instance().read({wsim_kernel::operand_t::BIT, d.pos("clk")}), 1u);
}
