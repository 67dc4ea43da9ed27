// End-to-end runs: SystemVerilog text through the orchestrator, the model
// builder and the kernel, checked against what only the engine has (the
// recorded values and names, the result, the report of what was left out).
// What a design prints is checked by the corpus in tests/designs/.
#include "simulate_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using wexla_test::Simulation;
using Changes = std::map<uint64_t, int64_t>;

TEST(Simulate, SignalsAreRecordedUnderInstancePathsAndLocalsAreNot) {
    Simulation sim(40);
    const auto r = sim.run(R"(
module leaf(input logic [7:0] din, output logic [7:0] dout);
  assign dout = ~din;
endmodule
module mid(input logic [7:0] x, output logic [7:0] y);
  leaf u2(.din(x), .dout(y));
endmodule
module top;
  logic [7:0] a = 0, out_a = 0;
  wire [7:0] b;
  mid u1(.x(a), .y(b));
  function automatic [7:0] twice(input [7:0] v);
    logic [7:0] fn_local;
    fn_local = v * 2;
    return fn_local;
  endfunction
  task automatic later(input [7:0] v, output [7:0] o);
    logic [7:0] task_local;
    task_local = twice(v);
    #5 o = task_local;
  endtask
  initial begin
    #10 a = 8'h0F;
    later(a, out_a);
    #10 a = 8'h3C;
  end
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    EXPECT_EQ(Simulation::changes("u1.x"), (Changes{{0, 0}, {10, 15}, {25, 60}}));
    EXPECT_EQ(Simulation::changes("u1.u2.din"), (Changes{{0, 0}, {10, 15}, {25, 60}}));
    EXPECT_EQ(Simulation::changes("b"), (Changes{{0, 255}, {10, 240}, {25, 195}}));
    EXPECT_EQ(Simulation::changes("out_a"), (Changes{{0, 0}, {15, 30}}));
    // Arguments and locals of tasks and functions are storage of the call,
    // not signals of the design.
    const std::string registry = WexlaCore::instance().getSignalRegistryJSON();
    for (const char* local : {"fn_local", "task_local", "\"v\"", "\"o\""})
        EXPECT_EQ(registry.find(local), std::string::npos) << local << " in " << registry;
}

TEST(Simulate, ValuesTheReferenceSimulatorCannotGive) {
    // The corpus takes its expected output from a simulator that answers X
    // for a division by zero and cannot parse -> and <-> in expressions,
    // case inside (whose range bounds held in signals Verilator cannot run
    // either) nor automatic variables of a block: the engine's two-valued
    // answers are checked here.
    Simulation sim(40);
    const auto r = sim.run(R"(
module top;
  logic [7:0] x = 8'd9, zero = 8'd0, two = 8'd2, one = 8'd1;
  logic [7:0] q_zero = 8'h55, r_zero = 8'h55, q_zero_k = 8'h55, r_zero_k = 8'h55;
  logic imply = 1, equiv = 0;
  logic clk = 0;
  logic [3:0] sel = 0;
  logic [7:0] ins = 0;
  always #5 clk = ~clk;
  initial begin
    #1 q_zero = x / zero;
    r_zero = x % zero;
    q_zero_k = x / 0;
    r_zero_k = x % 0;
    imply = (two -> zero);
    equiv = (two <-> one);
  end
  initial begin
    #10 sel = 4'b1010;
    #10 sel = 4'b0110;
    #10 sel = 4'b0011;
  end
  always @(posedge clk)
    case (sel) inside
      4'b?0?1: ins <= 1;
      4'b0?1?: ins <= 2;
      default: ins <= 9;
    endcase
  logic [3:0] a = 4'd3, r_auto = 0, r_auto_k = 0;
  always @(posedge clk) begin
    automatic logic [3:0] t = a;
    automatic logic [3:0] k = 4'd3;
    t = t + 1;
    k = k + 1;
    r_auto <= t;
    r_auto_k <= k;
    a <= a + 2;
  end
  // Range bounds held in signals are read when the case runs.
  logic [7:0] lo = 3, hi = 5, rsel = 0, rv = 0;
  task automatic in_range; case (rsel) inside [lo:hi]: rv = 1; default: rv = 2; endcase endtask
  initial begin
    #2 rsel = 4; in_range;
    #1 lo = 5; in_range;
    #1 hi = 9; rsel = 9; in_range;
  end
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    for (const char* name : {"q_zero", "r_zero", "q_zero_k", "r_zero_k", "imply"})
        EXPECT_EQ(Simulation::valueAt(name, 5), 0) << name;
    EXPECT_EQ(Simulation::valueAt("equiv", 5), 1);
    // sel: 0000 at 5, 1010 at 15, 0110 at 25, 0011 at 35.
    EXPECT_EQ(Simulation::changes("ins"), (Changes{{0, 0}, {5, 9}, {25, 2}, {35, 1}}));
    // Automatic variables start again from their initial values at every edge.
    EXPECT_EQ(Simulation::changes("r_auto"), (Changes{{0, 0}, {5, 4}, {15, 6}, {25, 8}, {35, 10}}));
    EXPECT_EQ(Simulation::changes("r_auto_k"), (Changes{{0, 0}, {5, 4}}));
    EXPECT_EQ(Simulation::changes("rv"), (Changes{{0, 0}, {2, 1}, {3, 2}, {4, 1}}));
}

TEST(Simulate, NonBlockingUpdatesWaitingForAnEventLandInItsNbaRegion) {
    // Icarus writes such an update as the event happens, so a process the
    // same edge wakes reads the new value; every non-blocking update lands
    // in the NBA region, so such a process reads the old one.
    Simulation sim(40);
    const auto r = sim.run(R"(
module top;
  bit clk = 0, clk2 = 0;
  bit [3:0] q = 0, t = 0, seen = 0, hi = 0, lo = 0;
  always #5 begin clk2 = ~clk2; clk = ~clk; end
  // Runs after the edge of clk it stands beside: its update waits for the next.
  always @(posedge clk2) q <= @(posedge clk) q + 1;
  always @(posedge clk) t <= @(posedge clk) t + 1;
  always @(posedge clk) seen = t;
  initial #3 {hi, lo} <= @(posedge clk) 8'hA5;
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    EXPECT_EQ(Simulation::changes("q"), (Changes{{0, 0}, {15, 1}, {35, 2}}));
    EXPECT_EQ(Simulation::changes("t"), (Changes{{0, 0}, {15, 1}, {35, 2}}));
    EXPECT_EQ(Simulation::changes("seen"), (Changes{{0, 0}, {25, 1}}));
    EXPECT_EQ(Simulation::changes("hi"), (Changes{{0, 0}, {5, 10}}));
    EXPECT_EQ(Simulation::changes("lo"), (Changes{{0, 0}, {5, 5}}));
}

TEST(Simulate, FunctionOutputsNeitherReferenceSimulatorGives) {
    // A narrow signed output copied to a wider actual, which Verilator
    // refuses; outputs the body leaves unwritten: an automatic function's
    // starts from 0 at each call, a static one's keeps the last call's.
    Simulation sim(10);
    const auto r = sim.run(R"(
module top;
  bit signed [11:0] wide = 0;
  bit [3:0] s1 = 0, s2 = 0, a1 = 0, a2 = 0;
  function automatic bit neg(input bit [3:0] v, output bit signed [3:0] m);
    m = -v;
    return 1;
  endfunction
  function bit kept(input bit w, output bit [3:0] o);
    if (w) o = 4'd9;
    return 0;
  endfunction
  function automatic bit fresh(input bit w, output bit [3:0] o);
    if (w) o = 4'd9;
    return 0;
  endfunction
  initial begin
    #1 void'(neg(4'd3, wide));
    void'(kept(1, s1));
    void'(kept(0, s2));
    void'(fresh(1, a1));
    a2 = 4'd5;
    void'(fresh(0, a2));
  end
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    EXPECT_EQ(Simulation::valueAt("wide", 1), 0xFFD);
    EXPECT_EQ(Simulation::valueAt("s1", 1), 9);
    EXPECT_EQ(Simulation::valueAt("s2", 1), 9);
    EXPECT_EQ(Simulation::valueAt("a1", 1), 9);
    EXPECT_EQ(Simulation::valueAt("a2", 1), 0);
}

TEST(Simulate, SampledValueFunctionsInProceduresGoByTheProceduresClock) {
    // A reset edge between two ticks of the clock is no tick (Verilator
    // samples there too); where no clock can be inferred, the statement is
    // left out and reported.
    Simulation sim(40);
    const auto r = sim.run(R"(
module top;
  bit clk = 0, rst_n = 1, a = 0;
  bit [3:0] falls = 0, n = 0;
  always #5 clk = ~clk;
  always @(posedge clk or negedge rst_n)
    if (!rst_n) n <= 0; else if ($fell(a)) falls <= falls + 1;
  initial begin #2 a = 1; #10 a = 0; #1 rst_n = 0; #1 rst_n = 1; end
  initial if ($rose(a)) n = 1;
  always @(posedge clk) begin #1 if ($rose(a)) n = 2; end
  always @(posedge clk or negedge rst_n) if (rst_n && clk && $rose(a)) n = 3;
  task t; if ($rose(a)) n = 4; endtask
  always @(posedge clk) t;
  wire nw;
  assign nw = $stable(a);
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    EXPECT_EQ(Simulation::changes("falls"), (Changes{{0, 0}, {15, 1}}));
    EXPECT_EQ(Simulation::changes("n"), (Changes{{0, 0}}));
    std::vector<std::string> left;
    for (const auto& n : r.not_modelled)
        left.push_back(std::to_string(n.line) + ": " + n.construct);
    EXPECT_EQ(left, (std::vector<std::string>{"9: $rose without a clock", "10: $rose without a clock",
                                              "11: $rose without a clock", "12: $rose without a clock",
                                              "15: $stable without a clock"}));
}

TEST(Simulate, ImplicitSensitivityTakesNoStorageOfTheCallsItMakes) {
    // Two @* blocks calling one static task or one static function with an
    // output share its storage; each is sensitive to its own arguments only
    // (IEEE 1800 9.4.2.2), so neither wakes the other. The reference
    // simulator wakes them on each other's writes for ever; the other runs
    // @* blocks at time 0.
    Simulation sim(20);
    const auto r = sim.run(R"(
module top;
  task square(input logic [3:0] a, output logic [7:0] y);
    logic [7:0] wide;
    begin
      wide = a;
      y = wide * wide;
    end
  endtask
  function logic [7:0] twice(input logic [3:0] a, output logic [3:0] o);
    o = a;
    return a + a;
  endfunction
  logic [3:0] p = 2, q = 3, op = 0, oq = 0;
  logic [7:0] yp = 0, yq = 0, tp = 0, tq = 0;
  always @* square(p, yp);
  always @* square(q, yq);
  always @* tp = twice(p, op);
  always @* tq = twice(q, oq);
  initial begin #5 p = 4'd5; #5 q = 4'd4; end
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    EXPECT_EQ(r.stop_reason, "no more events");
    EXPECT_EQ(Simulation::changes("yp"), (Changes{{0, 0}, {5, 25}}));
    EXPECT_EQ(Simulation::changes("yq"), (Changes{{0, 0}, {10, 16}}));
    EXPECT_EQ(Simulation::changes("tp"), (Changes{{0, 0}, {5, 10}}));
    EXPECT_EQ(Simulation::changes("oq"), (Changes{{0, 0}, {10, 4}}));
}

TEST(Simulate, StaticAndAutomaticVariablesMixedInOneSubroutine) {
    // Neither reference simulator takes a lifetime that differs from its
    // subroutine's: an automatic variable of a static function starts each
    // call afresh, a static one of an automatic function keeps its value.
    Simulation sim(10);
    const auto r = sim.run(R"(
module top;
  localparam [7:0] START = 8'd40;
  function [7:0] mixed(input [7:0] v);
    automatic logic [7:0] scratch = 8'd1;
    static logic [7:0] kept = START;
    scratch = scratch + v;
    kept = kept + v;
    mixed = scratch + kept;
  endfunction
  function automatic [7:0] sticky(input [7:0] v);
    static logic [7:0] last = 8'd7;
    sticky = last;
    last = v;
  endfunction
  initial begin
    $display("%0d %0d", mixed(8'd2), mixed(8'd3));
    $display("%0d %0d %0d", sticky(8'd1), sticky(8'd2), sticky(8'd3));
  end
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    EXPECT_EQ(wexla_test::printedOutput(sim.consolePath()), "45 49\n7 1 2\n");
}

TEST(Simulate, SelectsByIndicesAtTheEndsOfSixtyFourBits) {
    // The reference simulator answers X outside a vector; the engine reads
    // 0 there and writes nothing, whatever the index's sign and size, while
    // negative positions inside a range still count.
    Simulation sim(10);
    const auto r = sim.run(R"(
module top;
  logic [7:0] v = 8'hA5, w = 8'h00;
  logic [3:-4] n = 8'h5A;
  logic [0:7] u = 8'hC3;
  logic [63:0] all_ones = 64'hFFFF_FFFF_FFFF_FFFF, top_bit = 64'h8000_0000_0000_0000;
  logic signed [63:0] most_negative = 64'sh8000_0000_0000_0000, minus_one = -64'sd1;
  logic [7:0] r1 = 8'h55, r2 = 8'h55, r3 = 8'h55, r4 = 8'h55, r5 = 8'h55, r6 = 8'h55, k1 = 8'h55;
  initial begin
    #1 r1 = v[all_ones];
    r2 = v[all_ones -: 4];
    r3 = n[most_negative +: 4];
    r4 = u[top_bit +: 2];
    r5 = n[minus_one +: 4];
    r6 = v[64'hFFFF_FFFF_FFFF_FFFF];
    k1 = n[-1];
    w = v;
    w[all_ones] = 1'b0;
    w[most_negative +: 4] = 4'h0;
    w[minus_one +: 2] = 2'b00;
  end
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    for (const char* name : {"r1", "r2", "r3", "r4", "r6"})
        EXPECT_EQ(Simulation::valueAt(name, 5), 0) << name;
    EXPECT_EQ(Simulation::valueAt("r5", 5), 0xB); // n[2:-1]
    EXPECT_EQ(Simulation::valueAt("k1", 5), 1);
    EXPECT_EQ(Simulation::valueAt("w", 5), 0xA4); // only w[0] is inside
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
      #2 q = 0;
    join
    while (i < 10) i = i + 1;
  end
  generate if (0) begin : never
    initial q = 1;
  end endgenerate
  logic [7:0] a = 8'd5, endless = 8'h66;
  function [7:0] spin(input [7:0] x);
    spin = spin(x);
  endfunction
  initial #2 endless = spin(a);
  // slang makes the whole block bad for its unknown system function.
  logic [7:0] after_unknown = 0, unknown = 0;
  initial begin
    unknown = $vendor_value;
    #3 after_unknown = 8'd7;
  end
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    EXPECT_EQ(Simulation::changes("q"), (Changes{{0, 0}, {5, 1}, {15, 0}, {25, 1}}));
    // A call of a recursive function is left out: its target keeps its value.
    EXPECT_EQ(Simulation::changes("endless"), (Changes{{0, 0x66}}));
    EXPECT_EQ(Simulation::changes("after_unknown"), (Changes{{0, 0}, {3, 7}}));
    // The report itself is checked by readme_test.cpp and the corpus.
    EXPECT_EQ(r.not_modelled.size(), 7u);
    for (const auto& entry : r.not_modelled)
        EXPECT_GT(entry.line, 0) << entry.construct;
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

// The console file beside the database and its banner: the corpus.
TEST(Simulate, NewTextReplacesTheDesignAndTheKernelLogIsCaptured) {
    Simulation sim(10);
    auto r = sim.run("module first; logic alpha = 0; always #5 alpha = ~alpha; endmodule");
    ASSERT_TRUE(r.success) << r.error_message;
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

TEST(Simulate, ALongTextRunKeepsItsRecordBounded) {
    Simulation sim;
    wsim_kernel::sim_state::instance().sim_config.max_sim_cycle = 40000;
    // No project rows: nothing lands in the table, yet the record still stops.
    const auto r = sim.run("module m; logic c = 0; logic [7:0] n = 0; always #5 c = ~c;\n"
                           "always @(posedge c) n <= n + 1; endmodule");
    ASSERT_TRUE(r.success) << r.error_message;
    auto& recorder = wsim_timeseries::TimeSeriesDB::instance();
    EXPECT_TRUE(recorder.is_recording_stopped());
    size_t rows = 0;
    for (const auto& step : recorder.get_timeline())
        rows += step.signalState.size();
    EXPECT_GE(rows, size_t{wsim_timeseries::TimeSeriesDB::kRowLimit});
    EXPECT_LT(rows, size_t{wsim_timeseries::TimeSeriesDB::kRowLimit} + 3);
    EXPECT_EQ(Database::instance().getRecordCount("timeline"), 0);
}
