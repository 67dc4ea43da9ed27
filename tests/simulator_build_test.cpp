// What the model builder makes of a design: the registry, the line-context
// table, port binds, the time base, and the report of what it left out.
#include "builder_support.h"

#include <gtest/gtest.h>

#include <sstream>

using wexla_test::buildDesign;
using wsim_kernel::sim_state;

namespace {

// "line: construct" for every entry of the report, in order.
std::vector<std::string> reported(const wexla_test::BuiltDesign& d) {
    std::vector<std::string> out;
    for (const auto& n : d.builder->notModelled())
        out.push_back(std::to_string(n.line) + ": " + n.construct);
    return out;
}

// Builds `text` with standard error captured.
std::pair<wexla_test::BuiltDesign, std::string> buildCapturingErrors(const std::string& text) {
    std::ostringstream err;
    std::streambuf* saved = std::cerr.rdbuf(err.rdbuf());
    auto d = buildDesign(text);
    std::cerr.rdbuf(saved);
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
    EXPECT_EQ(sim_state::instance().access_bytes(d.pos("ones")).state(), 15);
    EXPECT_EQ(wsim_timeseries::TimeSeriesDB::instance().get_current_signal_state().at("ones"), 15);
    EXPECT_FALSE(d.has("P"));

    SimulatorBuilder empty(nullptr);
    EXPECT_EQ(empty.exportRegistryJSON(), "{\"signals\":[\n\n]}");
}

TEST(Builder, LineContextsInstancesAndPortBinds) {
    auto d = buildDesign(R"(module inner(input logic i, output logic o);
  assign o = i;
endmodule
module outer(input logic a, output logic y);
  inner u2(.i(a), .o(y));
endmodule
module top;
  logic x, z, k;
  logic [1:0] w;
  outer u1(.a(x), .y(z));
  outer u3(.a(1'b1), .y(k));
  outer u4(.a(w[1]), .y(w[0]));
  always @(posedge x) z <= 1;
endmodule
)");
    for (const char* name : {"u1.a", "u1.y", "u1.u2.i", "u1.u2.o", "u3.a"})
        EXPECT_TRUE(d.has(name)) << name;
    // Ports of instances live under their paths only: no bare phantoms.
    for (const char* name : {"a", "y", "i", "o"})
        EXPECT_FALSE(d.has(name)) << name;
    // A port bound to a whole signal of its width is another name for it,
    // however deep.
    EXPECT_EQ(d.pos("u1.a"), d.pos("x"));
    EXPECT_EQ(d.pos("u1.u2.i"), d.pos("x"));
    EXPECT_EQ(d.pos("u1.u2.o"), d.pos("z"));
    EXPECT_EQ(d.process("u1.a_input_bind"), nullptr);

    // Any other connection is a driver of its own, at the instance's line,
    // carrying the instance it binds; a text source is no project file.
    auto& recorder = wsim_timeseries::TimeSeriesDB::instance();
    const auto& table = d.builder->getLineContextMap();
    for (const char* bind : {"u3.a_input_bind", "u4.a_input_bind", "w_output_bind"}) {
        const auto* p = d.process(bind);
        ASSERT_NE(p, nullptr) << bind;
        EXPECT_EQ(p->instance_id(), bind[0] == 'w' ? "u4" : std::string(bind).substr(0, 2));
        const int ctx = p->ith_statement(0)->line();
        EXPECT_EQ(table.at(static_cast<size_t>(ctx)).second, bind[1] == '3' ? 11 : 12) << bind;
        EXPECT_EQ(recorder.resolve_instance_for_line(ctx), p->instance_id());
    }
    EXPECT_EQ(table.at(0).first, -1);
    EXPECT_NE(d.process("u1.u2.o_drv"), nullptr);
    EXPECT_EQ(d.process("always")->instance_id(), "top");
    EXPECT_TRUE(reported(d).empty());
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

TEST(Builder, NetsWithTwoContinuousDriversAreReported) {
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
    EXPECT_EQ(err.find("[MODEL] source:5:"), std::string::npos) << err;
    EXPECT_NE(err.find("[MODEL] source:6: w has more than one continuous driver\n"),
              std::string::npos)
        << err;
    // Drivers of different bits of one vector do not clash.
    EXPECT_EQ(err.find("v has more than one"), std::string::npos) << err;
}
