// End-to-end runs: SystemVerilog text through the orchestrator, the model
// builder and the kernel, checked against the recorded values.
#include "simulate_support.h"

#include <gtest/gtest.h>

#include <filesystem>

using wexla_test::Simulation;
using Changes = std::map<uint64_t, int64_t>;

TEST(Simulate, ClockedCountersWithNonBlockingAssignments) {
    Simulation sim(80);
    const auto r = sim.run(R"(
module tff(input logic clk, output logic q);
  always @(negedge clk) q <= ~q;
endmodule
module top;
  logic clk = 0;
  logic q0, q1, q2;
  logic [2:0] ripple;
  logic [3:0] johnson = 0;
  logic feedback;
  tff b0(.clk(clk), .q(q0));
  tff b1(.clk(q0), .q(q1));
  tff b2(.clk(q1), .q(q2));
  assign ripple = {q2, q1, q0};
  assign feedback = !johnson[3];
  always #5 clk = ~clk;
  always @(posedge clk) johnson <= {johnson[2:0], feedback};
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    // A ripple counter of toggle flip-flops counts the falling clock edges.
    EXPECT_EQ(Simulation::changes("ripple"), (Changes{{0, 0},
                                                      {10, 1},
                                                      {20, 2},
                                                      {30, 3},
                                                      {40, 4},
                                                      {50, 5},
                                                      {60, 6},
                                                      {70, 7},
                                                      {80, 0}}));
    // A Johnson counter walks through its eight states on the rising edges.
    EXPECT_EQ(Simulation::changes("johnson"), (Changes{{0, 0},
                                                       {5, 1},
                                                       {15, 3},
                                                       {25, 7},
                                                       {35, 15},
                                                       {45, 14},
                                                       {55, 12},
                                                       {65, 8},
                                                       {75, 0}}));
    EXPECT_EQ(r.final_time, 80u);
}

TEST(Simulate, BlockingAgainstNonBlockingOrder) {
    Simulation sim(30);
    const auto r = sim.run(R"(
module top;
  logic clk = 0;
  logic a = 0, b = 1, c = 0, d = 1;
  logic x, y, z;
  always #5 clk = ~clk;
  always @(posedge clk) begin a <= b; b <= a; end
  always @(posedge clk) begin c = d; d = c; end
  always @(posedge clk) begin x <= ~x; y <= ~y; z <= ~z; end
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    // Non-blocking assignments swap; blocking ones copy in order.
    EXPECT_EQ(Simulation::changes("a"), (Changes{{0, 0}, {5, 1}, {15, 0}, {25, 1}}));
    EXPECT_EQ(Simulation::changes("b"), (Changes{{0, 1}, {5, 0}, {15, 1}, {25, 0}}));
    EXPECT_EQ(Simulation::changes("c"), (Changes{{0, 0}, {5, 1}}));
    EXPECT_EQ(Simulation::changes("d"), (Changes{{0, 1}}));
    // Every statement under one event control runs on every edge.
    for (const char* name : {"x", "y", "z"})
        EXPECT_EQ(Simulation::changes(name), (Changes{{0, 0}, {5, 1}, {15, 0}, {25, 1}})) << name;
}

TEST(Simulate, DelaysAndAbsoluteTimesInInitialBlocks) {
    Simulation sim(400);
    const auto r = sim.run(R"(`timescale 1ns/100ps
module top;
  logic clk = 0;
  logic a, b, c, d, e, go, later;
  always #5 clk = ~clk;
  initial begin
    @(posedge clk);
    go = 1;
    #3;
    later = 1;
  end
  initial begin
    #5 a = 1;
    #5 b = 1;
    begin
      #3 c = 1;
    end
    d = 1;
    #2;
    e = 1;
    #10 a = 0;
  end
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    // A delay in front of a statement moves the block's time on; a nested
    // block starts where it is reached; 1ns in steps of 100ps is 10 steps.
    EXPECT_EQ(Simulation::changes("a"), (Changes{{0, 0}, {50, 1}, {250, 0}}));
    EXPECT_EQ(Simulation::changes("b"), (Changes{{0, 0}, {100, 1}}));
    EXPECT_EQ(Simulation::changes("c"), (Changes{{0, 0}, {130, 1}}));
    EXPECT_EQ(Simulation::changes("d"), (Changes{{0, 0}, {130, 1}}));
    EXPECT_EQ(Simulation::changes("e"), (Changes{{0, 0}, {150, 1}}));
    EXPECT_EQ(Simulation::changes("clk").at(50), 1);
    // A statement after a bare event wait runs once, on that event.
    EXPECT_EQ(Simulation::changes("go"), (Changes{{0, 0}, {50, 1}}));
    EXPECT_EQ(Simulation::changes("later"), (Changes{{0, 0}, {80, 1}}));
    EXPECT_EQ(wsim_kernel::sim_state::instance().timescale().time_unit_ps, 1000u);
    EXPECT_EQ(wsim_kernel::sim_state::instance().timescale().time_prec_ps, 100u);
}

TEST(Simulate, ContinuousAssignmentsOfEverySupportedShape) {
    Simulation sim(20);
    const auto r = sim.run(R"(
module top;
  logic a = 1, b = 0;
  logic [7:0] bus = 8'hF0, other = 8'h0F;
  logic copy, inv, lnot, red_or, red_and, red_xor, both, either, eq, lt, konst, low_bit;
  logic [7:0] vcopy, vconst, vrepl, vsig_repl, vinv;
  logic [15:0] vcat;
  logic [3:0] nib = 4'b0110;
  wire net_or = a | b;
  wire [7:0] net_copy = bus;
  assign copy = a;
  assign inv = ~a;
  assign lnot = !bus;
  assign red_or = |bus;
  assign red_and = &bus;
  assign red_xor = ^nib;
  assign both = a && b;
  assign either = a || b;
  assign eq = (bus == 8'hF0);
  assign lt = (other < bus);
  assign konst = 1'b1;
  assign low_bit = bus;
  assign vcopy = other;
  assign vconst = 300;
  assign vrepl = {4{2'b01}};
  assign vsig_repl = {2{nib}};
  assign vinv = ~bus;
  assign vcat = {bus, other[3:0], nib};
  initial #10 bus = 8'hFF;
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    const std::map<std::string, std::pair<int64_t, int64_t>> expected = {
        // name: value at 5, value at 15
        {"copy", {1, 1}},       {"inv", {0, 0}},         {"lnot", {0, 0}},
        {"red_or", {1, 1}},     {"red_and", {0, 1}},     {"red_xor", {0, 0}},
        {"both", {0, 0}},       {"either", {1, 1}},      {"eq", {1, 0}},
        {"lt", {1, 1}},         {"konst", {1, 1}},       {"low_bit", {0, 1}},
        {"vcopy", {15, 15}},    {"vconst", {44, 44}},    {"vrepl", {85, 85}},
        {"vsig_repl", {0x66, 0x66}}, {"vinv", {0x0F, 0x00}},
        {"vcat", {0xF0F6, 0xFFF6}}, {"net_or", {1, 1}},  {"net_copy", {0xF0, 0xFF}},
    };
    for (const auto& [name, values] : expected) {
        EXPECT_EQ(Simulation::valueAt(name, 5), values.first) << name;
        EXPECT_EQ(Simulation::valueAt(name, 15), values.second) << name;
    }
}

TEST(Simulate, VectorsOfEveryStoreWithSelectsAndTheConditionalOperator) {
    Simulation sim(30);
    const auto r = sim.run(R"(
module top;
  logic clk = 0;
  logic s = 0;
  logic [7:0] a = 8'h11, b = 8'h22, v, n, m;
  logic [8:0] w9 = 9'h1F0;
  logic [63:0] w64 = 64'h8000_0000_0000_0003;
  logic [8:0] copy9;
  logic [63:0] copy64;
  logic [3:0] slice;
  logic top_bit, bit4, lsb64;
  logic [7:0] shifted;
  logic [7:0] bits = 8'hF0;
  logic [63:0] flags = 0;
  always #5 clk = ~clk;
  always @(posedge clk) flags[40] <= ~flags[40];
  always @(posedge clk) begin
    v <= s ? a : b;
    s <= ~s;
  end
  always @(posedge clk) n = s ? a : b;
  always_comb m = s ? b : a;
  initial begin
    #1 copy9 = w9;
    copy64 = w64;
    slice = w9[7:4];
    top_bit = w64[63];
    bit4 = w9[4];
    lsb64 = w64;
    shifted = {a[6:0], s};
    bits[0] = 1;
    bits[7] = 0;
  end
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    // Initial values are recorded whole, all 64 bits of them.
    EXPECT_EQ(Simulation::valueAt("w64", 0), static_cast<int64_t>(0x8000000000000003ULL));
    EXPECT_EQ(Simulation::valueAt("copy9", 2), 0x1F0);
    EXPECT_EQ(Simulation::valueAt("copy64", 2), static_cast<int64_t>(0x8000000000000003ULL));
    EXPECT_EQ(Simulation::valueAt("slice", 2), 0xF);
    EXPECT_EQ(Simulation::valueAt("top_bit", 2), 1);
    EXPECT_EQ(Simulation::valueAt("bit4", 2), 1);
    EXPECT_EQ(Simulation::valueAt("lsb64", 2), 1);
    EXPECT_EQ(Simulation::valueAt("shifted", 2), 0x22);
    // A bit select on the left writes that bit alone.
    EXPECT_EQ(Simulation::valueAt("bits", 2), 0x71);
    EXPECT_EQ(Simulation::changes("flags"),
              (Changes{{0, 0}, {5, int64_t{1} << 40}, {15, 0}, {25, int64_t{1} << 40}}));
    // The non-blocking conditional takes the values from before the edge; the
    // blocking one sees s after the edge's non-blocking update of the cycle
    // before; the combinational one follows s at once.
    EXPECT_EQ(Simulation::changes("v"), (Changes{{0, 0}, {5, 0x22}, {15, 0x11}, {25, 0x22}}));
    EXPECT_EQ(Simulation::changes("n"), (Changes{{0, 0}, {5, 0x22}, {15, 0x11}, {25, 0x22}}));
    EXPECT_EQ(Simulation::changes("m"), (Changes{{0, 0x11}, {5, 0x22}, {15, 0x11}, {25, 0x22}}));
}

TEST(Simulate, TasksWithArgumentsAndDelays) {
    Simulation sim(100);
    const auto r = sim.run(R"(
module top;
  logic clk = 0;
  logic src = 1;
  logic p, q, r1, r2;
  task automatic set_pair(output logic x, output logic y, input logic value);
    x = value;
    y = ~value;
  endtask
  task automatic copy_in(output logic x, input logic value);
    x = value;
  endtask
  always #5 clk = ~clk;
  initial begin
    #7 set_pair(p, q, 1'b0);
    #10 set_pair(q, p, src);
  end
  always @(posedge clk) copy_in(r1, src);
  always @(negedge clk) copy_in(r2, clk);
  logic [7:0] din = 0;
  logic push = 0;
  task send(input logic [7:0] d);
    push = 1;
    din = d;
    #10 push = 0;
  endtask
  initial begin
    #5 send(8'h11);
    send(8'h22);
    #5 send(8'h33);
    din = 8'h44;
  end
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    // set_pair(p, q, 0) at 7, then set_pair(q, p, src) at 17 with src = 1.
    EXPECT_EQ(Simulation::changes("p"), (Changes{{0, 0}}));
    EXPECT_EQ(Simulation::changes("q"), (Changes{{0, 0}, {7, 1}}));
    EXPECT_EQ(Simulation::changes("r1"), (Changes{{0, 0}, {5, 1}}));
    EXPECT_EQ(Simulation::valueAt("r2", 20), 0);
    // A statement after a task with delays waits for it to return: send(11)
    // at 5 returns at 15, send(22) then runs until 25, send(33) from 30 to
    // 40, and the last assignment follows it at 40.
    EXPECT_EQ(Simulation::changes("din"), (Changes{{0, 0}, {5, 0x11}, {15, 0x22}, {30, 0x33},
                                                   {40, 0x44}}));
    for (const auto& [time, value] : std::map<uint64_t, int64_t>{
             {4, 0}, {10, 1}, {20, 1}, {27, 0}, {35, 1}, {45, 0}})
        EXPECT_EQ(Simulation::valueAt("push", time), value) << time;
    // The aliases of the parameters never outlive the inlined bodies.
    const std::string registry = WexlaCore::instance().getSignalRegistryJSON();
    EXPECT_EQ(registry.find("_task_"), std::string::npos);
}

TEST(Simulate, ThreeLevelHierarchiesBindPortsAndAreReachedByReferences) {
    Simulation sim(40);
    const auto r = sim.run(R"(
module counter(input logic clk);
  logic [3:0] inner = 4'd0;
  always @(posedge clk) inner <= inner + 4'd1;
endmodule
module holder(input logic clk);
  logic [3:0] level = 4'd7;
  counter u_leaf(.clk(clk));
endmodule
module leaf(input logic [7:0] din, output logic [7:0] dout, output logic any);
  assign dout = ~din;
  assign any = |din;
endmodule
module mid(input logic [7:0] x, output logic [7:0] y, output logic flag);
  logic [7:0] inner;
  leaf u2(.din(x), .dout(inner), .any(flag));
  assign y = inner;
endmodule
module top;
  logic [7:0] a = 0;
  logic [7:0] b;
  logic f;
  mid u1(.x(a), .y(b), .flag(f));
  logic clk = 0;
  logic seen = 0;
  logic [3:0] copy, level;
  always #5 clk = ~clk;
  holder u_mid(.clk(clk));
  always @(negedge clk) $display("%0t %0d %0d", $time, u_mid.level, u_mid.u_leaf.inner);
  always @(negedge clk) if (u_mid.u_leaf.inner == 4'd2) seen <= 1;
  always @(posedge clk) copy <= u_mid.u_leaf.inner;
  assign level = u_mid.level;
  initial begin
    #10 a = 8'h0F;
    #10 a = 8'h00;
    #10 a = 8'h3C;
  end
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    EXPECT_EQ(Simulation::changes("u1.x"), (Changes{{0, 0}, {10, 15}, {20, 0}, {30, 60}}));
    EXPECT_EQ(Simulation::changes("u1.u2.din"), (Changes{{0, 0}, {10, 15}, {20, 0}, {30, 60}}));
    EXPECT_EQ(Simulation::changes("b"), (Changes{{0, 255}, {10, 240}, {20, 255}, {30, 195}}));
    EXPECT_EQ(Simulation::changes("f"), (Changes{{0, 0}, {10, 1}, {20, 0}, {30, 1}}));
    // Hierarchical references are read, tested and copied under their
    // instance paths, however deep.
    EXPECT_EQ(wexla_test::printedOutput(sim.consolePath()), "10 7 1\n20 7 2\n30 7 3\n40 7 4\n");
    EXPECT_EQ(Simulation::changes("seen"), (Changes{{0, 0}, {20, 1}}));
    EXPECT_EQ(Simulation::changes("copy"), (Changes{{0, 0}, {15, 1}, {25, 2}, {35, 3}}));
    EXPECT_EQ(Simulation::valueAt("level", 1), 7);
}

TEST(Simulate, EventsOnMultiBitSignalsWatchTheirOwnCell) {
    Simulation sim(60);
    const auto r = sim.run(R"(
module top;
  logic [7:0] count = 0;
  logic [63:0] wide = 0;
  logic rises = 0, any = 0, listed = 0;
  logic [7:0] copy;
  always @(posedge count) rises <= ~rises;
  always @(wide) any <= ~any;
  always @(count or wide) listed <= ~listed;
  initial begin
    #10 count = 1;
    #10 count = 2;
    #10 count = 3;
    #10 wide = 64'h1_0000_0000;
  end
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    // posedge of a vector is the rise of its least significant bit.
    EXPECT_EQ(Simulation::changes("rises"), (Changes{{0, 0}, {10, 1}, {30, 0}}));
    EXPECT_EQ(Simulation::changes("any"), (Changes{{0, 0}, {40, 1}}));
    EXPECT_EQ(Simulation::changes("listed"), (Changes{{0, 0}, {10, 1}, {20, 0}, {30, 1}, {40, 0}}));
}

TEST(Simulate, ConstructsLeftOutDoNotStopTheRest) {
    Simulation sim(30);
    const auto r = sim.run(R"(
module top;
  logic clk = 0;
  logic q = 0;
  logic [7:0] mem [0:3];
  integer i;
  always #5 clk = ~clk;
  always @(posedge clk) q <= ~q;
  initial begin
    for (i = 0; i < 4; i = i + 1) mem[i] = 0;
    fork
      #1 q = 1;
    join
    while (i < 10) i = i + 1;
  end
  generate if (0) begin : never
    initial q = 1;
  end endgenerate
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    EXPECT_EQ(Simulation::changes("q"), (Changes{{0, 0}, {5, 1}, {15, 0}, {25, 1}}));
}

TEST(Simulate, BrokenOrUnusualSourcesAreReportedInTheResult) {
    Simulation sim(10);
    auto r = sim.run("module m; logic a; always @(posedge a) a <= ; endmodule");
    EXPECT_FALSE(r.success);
    EXPECT_EQ(r.error_message, "Compilation errors: ExpectedExpression; ");
    EXPECT_NE(r.simulation_json.find("\"success\": false"), std::string::npos) << r.simulation_json;

    r = sim.run("module m; logic y; assign y = nothing_here; endmodule");
    EXPECT_FALSE(r.success);
    EXPECT_EQ(r.error_message, "Compilation errors: UndeclaredIdentifier; ");

    for (const char* text : {"module m; endmodule", "", "// no module at all\n"}) {
        r = sim.run(text);
        EXPECT_TRUE(r.success) << text;
        EXPECT_EQ(r.console_log, "") << text;
    }

    std::string deep = "a";
    for (int i = 0; i < 5000; ++i)
        deep = "(~" + deep + ")";
    r = sim.run("module m; logic a, y; assign y = " + deep + "; endmodule");
    EXPECT_FALSE(r.success);
    EXPECT_EQ(r.error_message.rfind("Parse exception: ", 0), 0u) << r.error_message;

    std::string nested = "a";
    for (int i = 0; i < 300; ++i)
        nested = "(!" + nested + " && b)";
    r = sim.run("module m; logic a = 1, b = 1, y; always @(posedge a) y <= " + nested +
                "; assign a = b; endmodule");
    EXPECT_TRUE(r.success) << r.error_message;
}

TEST(Simulate, ConsoleFileSitsBesideTheDatabaseAndNewTextReplacesTheDesign) {
    Simulation sim(10);
    auto r = sim.run("module first; logic alpha = 0; always #5 alpha = ~alpha; endmodule");
    ASSERT_TRUE(r.success) << r.error_message;
    const std::string expected =
        std::filesystem::weakly_canonical(sim.dir().path() / "wexla_sim_console.txt").string();
    EXPECT_EQ(wsim_kernel::sim_state::instance().console_path(), expected);
    ASSERT_TRUE(std::filesystem::exists(expected));
    // Nothing printed, so the console file holds the banner alone.
    std::ostringstream banner;
    wsim_kernel::sim_state::write_banner(banner);
    const std::string console = wexla_test::readFile(expected);
    EXPECT_EQ(console.rfind(banner.str(), 0), 0u);
    EXPECT_EQ(console.find_first_not_of('\n', banner.str().size()), std::string::npos);
    // The kernel's own progress lines were captured, not printed.
    EXPECT_NE(r.console_log.find("2. Simulation Begins"), std::string::npos);
    EXPECT_NE(WexlaCore::instance().getSignalRegistryJSON().find("alpha"), std::string::npos);

    r = sim.run("module second; logic beta = 1; endmodule");
    ASSERT_TRUE(r.success);
    const std::string registry = WexlaCore::instance().getSignalRegistryJSON();
    EXPECT_EQ(registry.find("alpha"), std::string::npos) << registry;
    EXPECT_NE(registry.find("beta"), std::string::npos) << registry;
}

TEST(Simulate, AnAbortedRunIsNotASuccess) {
    Simulation sim;
    wsim_kernel::sim_state::instance().sim_config.max_sim_cycle = 5000;
    const auto r = sim.run("module m; logic a = 0; always #0 a = ~a; endmodule");
    EXPECT_FALSE(r.success);
    EXPECT_EQ(r.error_message, "Simulation aborted: delta limit at t=0");
    // An always block that never waits would hang any simulator: it is left
    // out, and a design with nothing else says so.
    Simulation hang;
    const auto h = hang.run("module m; logic a = 0; always a = ~a; endmodule");
    EXPECT_FALSE(h.success);
    EXPECT_EQ(h.error_message, "Nothing in the design could be modelled: 1 construct(s) left out");
    // A run that ends at its cycle limit is still a success.
    Simulation idle;
    EXPECT_TRUE(idle.run("module m; logic c = 0; always #5 c = ~c; endmodule").success);
}
