// $display, $write, $monitor and $finish simulated end to end, checked
// against the console file byte for byte.
#include "simulate_support.h"
#include "simulator.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <vector>

using wexla_test::Simulation;

namespace {

std::string printed(const std::string& console_path) {
    return wexla_test::printedOutput(console_path);
}

std::string printed(const Simulation& sim) { return printed(sim.consolePath()); }

} // namespace

TEST(SimulateDisplay, ConversionsWidthsSignsTimeEscapesAndScopes) {
    Simulation sim(20);
    const auto r = sim.run(R"(
module leaf(input logic [3:0] v);
  initial #3 $display("%m v=%0d", v);
endmodule
module top;
  logic [3:0] n = 9;
  leaf u1(.v(n));
  leaf u2(.v(n));
  logic signed [3:0] s = 4'b1111;
  logic [3:0] u = 4'b1111;
  integer i = -5;
  logic [7:0] b = 5, z = 0, e = 8;
  logic [63:0] w = 16'h6869;
  logic bit1 = 1;
  localparam int P = 12;
  initial begin
    $display("[%0d][%5d][%-5d][%05d]", n, n, n, n);
    $display("[%d][%05d][%d][%d][%0d][%h]", s, s, $signed(u), $unsigned(s), i, i);
    $display("[%b][%0b][%b][%8b][%-8b|][%b][%0b]", b, b, z, b, b, bit1, bit1);
    $display("[%h][%H][%x][%4h][%04X][%o][%O]", 8'hab, b, b, b, b, e, e);
    $display("[%s][%s][%3s][%0d]", w, z, w, w);
    $display("100%% %0d %0d", n, P);
    #7 $display("%t|%0t|%0d|%5d", n, n, $time, $realtime);
    $write("a=%0d", n);
    $write("|tab\there|back\\slash|");
    $display;
    $display("%m [%5000d]", n);
    $display(n);
    $display();
    $display("end");
  end
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    // A field is never wider than 1024 characters; %t prints its argument
    // as a time in the precision; an argument without a format string
    // prints in decimal as wide as its largest value; without any
    // arguments $display prints an empty line.
    EXPECT_EQ(printed(sim), "[9][    9][9    ][00009]\n"
                            "[-1][-0001][-1][15][-5][fffffffb]\n"
                            "[101][00000101][0][     101][101     |][1][1]\n"
                            "[ab][5][5][   5][0005][10][10]\n"
                            "[hi][0][ hi][26729]\n"
                            "100% 9 12\n"
                            "top.u1 v=9\n"
                            "top.u2 v=9\n"
                            "9|9|7|    7\n"
                            "a=9|tab\there|back\\slash|\n"
                            "top [" + std::string(1023, ' ') + "9]\n"
                            " 9\n"
                            "\n"
                            "end\n");
}

TEST(SimulateDisplay, ExpressionArgumentsAreTakenAtPrintTime) {
    Simulation sim(30);
    const auto r = sim.run(R"(
module top;
  logic [7:0] a = 6, b = 7, c = 1, x = 3, h = 200, k = 100;
  logic signed [7:0] s = -2, t = -1;
  logic [7:0] m = 1, n = 2;
  task show(input logic [7:0] v);
    $display("show %0d %0d", v, v + 1);
  endtask
  always @(m or n) $display("sum %0d at %0t", m + n, $time);
  initial begin
    #5 m = 10;
    #5 n = 20;
    #1 show(m);
    show(n); show(m);
  end
  initial begin
    #1;
    $display("%0d %0d|%4h|%0d|%-3d|", a*b+c, x, a[1:0], a, 5);
    $display("%0d %0d %0d", a + 1, a * 3, 10 - a);
    $display("%0d %0d %0d", s + 1, s * b, $signed(x) - 7);
    $display("%0d %0d %0d %0d %0d", h + k, h + 100, s + t, s * 2, $signed(s + c));
    $display("%0d", a + 2); $display("%0d", a + 3);
    a = 20;
    $display("%0d %0d", a + 1, a + b);
  end
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    EXPECT_EQ(printed(sim), "43 3|   2|6|5  |\n"
                            "7 18 4\n"
                            "-1 242 -4\n" // s * b: a signed by an unsigned byte is unsigned
                            // Two bytes add in 8 bits; a 32-bit literal widens the sum.
                            "44 300 -3 -4 -1\n"
                            "8\n"
                            "9\n"
                            "21 27\n"
                            // Each copy of a statement under an event list
                            // prints for its own event; a task called twice
                            // on one line prints each caller's own sum.
                            "sum 12 at 5\n"
                            "sum 30 at 10\n"
                            "show 10 11\n"
                            "show 20 21\n"
                            "show 10 11\n");
}

TEST(SimulateDisplay, MonitorFollowsChangesAndFinishEndsTheRun) {
    Simulation sim(1000);
    const auto r = sim.run(R"(
module top;
  logic clk = 0;
  logic [7:0] d = 0, q = 0;
  logic flag = 0;
  always #5 clk = ~clk;
  always @(posedge clk) q <= d;
  initial begin
    $monitor("t=%0t q=%0d d2=%0d lit=%0d flag=%b", $time, q, d * 2, 4, flag);
    #12 d = 8'd3;
    #10 d = 8'd7;
    #10 flag = 1;
  end
  always @(posedge clk) $display("tick %0t", $time);
  initial begin
    #40 $display("bye at %0t", $time);
    $finish;
    #1 $display("not reached");
  end
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    // The monitor prints at the end of a time step in which a watched value
    // changed, whether by a blocking or a non-blocking write; $time does not
    // count as a change.
    EXPECT_EQ(printed(sim), "t=0 q=0 d2=0 lit=4 flag=0\n"
                            "tick 5\n"
                            "t=12 q=0 d2=6 lit=4 flag=0\n"
                            "tick 15\n"
                            "t=15 q=3 d2=6 lit=4 flag=0\n"
                            "t=22 q=3 d2=14 lit=4 flag=0\n"
                            "tick 25\n"
                            "t=25 q=7 d2=14 lit=4 flag=0\n"
                            "t=32 q=7 d2=14 lit=4 flag=1\n"
                            "tick 35\n"
                            "bye at 40\n");
    EXPECT_EQ(r.final_time, 40u);
    EXPECT_EQ(wsim_kernel::sim_state::instance().stop_reason(), wsim_kernel::stop_reason_t::FINISH);
}

TEST(SimulateDisplay, MonitorStartsWhereItStandsAndTheLatestOneWins) {
    Simulation sim(1000);
    const auto r = sim.run(R"(
module top;
  logic [7:0] a = 0, b = 0;
  logic go = 0;
  initial begin
    #3 a = 1;
    #4 a = 2;
    #3 a = 3;
    #3 a = 4;
    #2 b = 4;
    #5 go = 1;
    #2 a = 5;
    #3 b = 6;
  end
  initial #10 $monitor("t=%0t a=%0d", $time, a);
  initial #5 if (a > 100) $monitor("never t=%0t", $time);
  always @(posedge go) $monitor("go t=%0t b=%0d", $time, b);
  initial #30 $finish;
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    // Nothing before the first monitor runs at 10, one line for the step it
    // starts in even though a changes then too, and after the clocked one
    // starts at 20 only b counts.
    EXPECT_EQ(printed(sim), "t=10 a=3\n"
                            "t=13 a=4\n"
                            "go t=20 b=4\n"
                            "go t=25 b=6\n");
}

TEST(SimulateDisplay, FieldsAreCappedAndTheMonitorPrintsAfterTheStep) {
    Simulation sim;
    const auto r = sim.run(R"(
module top;
  logic [7:0] n = 9;
  initial begin
    $monitor("[%5000d]", n);
    $write("%0d,", n);
    $display("%0d.", n);
  end
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    EXPECT_EQ(wexla_test::printedOutput(sim.consolePath()),
              "9,9.\n[" + std::string(1023, ' ') + "9]\n");
}

TEST(SimulateDisplay, ClockedDisplaysSeeValuesBeforeTheNonBlockingUpdates) {
    Simulation sim(40);
    const auto r = sim.run(R"(
module top;
  logic clk = 0, once = 0;
  logic [7:0] q = 0, x = 0, z = 0;
  always #5 clk = ~clk;
  always @(posedge clk) begin
    q <= q + 8'd1;
    if (q == 8'd2) $display("%0t q was 2", $time);
    $display("%0t q=%0d", $time, q);
  end
  always @(posedge clk) begin x = x + 8'd1; $display("%0t x=%0d", $time, x); end
  always @(posedge clk) begin $display("%0t z=%0d", $time, z); z = z + 8'd1; end
  always @(posedge clk) if (!once) begin once = 1; $display("%0t once", $time); end
  always @(negedge clk) $display("%0t negedge q=%0d", $time, q);
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    // A display in a clocked block runs where the block reaches it: after the
    // blocking writes before it, before the non-blocking updates of the edge,
    // under the decision its guard made on the edge.
    // Processes woken by one edge may print in any order; each prints its
    // own lines in its own order.
    std::istringstream text(printed(sim));
    std::map<char, std::vector<std::string>> by_process;
    for (std::string line; std::getline(text, line);)
        by_process[line.back() == 'e' ? 'o' : line[line.find(' ') + 1]].push_back(line);
    using Lines = std::vector<std::string>;
    EXPECT_EQ(by_process['q'], (Lines{"5 q=0", "15 q=1", "25 q was 2", "25 q=2", "35 q=3"}));
    EXPECT_EQ(by_process['n'], (Lines{"10 negedge q=1", "20 negedge q=2", "30 negedge q=3", "40 negedge q=4"}));
    EXPECT_EQ(by_process['x'], (Lines{"5 x=1", "15 x=2", "25 x=3", "35 x=4"}));
    EXPECT_EQ(by_process['z'], (Lines{"5 z=0", "15 z=1", "25 z=2", "35 z=3"}));
    EXPECT_EQ(by_process['o'], (Lines{"5 once"}));
}

TEST(SimulateDisplay, TimeIsCountedInTheDesignsTimeUnit) {
    Simulation sim(100000);
    const auto r = sim.run(R"(
`timescale 10ns/1ns
module top;
  initial begin
    #3 $display("%0d|%0t|%0d", $time, $time, $realtime);
    #4 $monitor("monitor %0d|%0t", $time, $time);
  end
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    // $time answers in units of 10 ns; %t prints in the precision, 1 ns.
    EXPECT_EQ(printed(sim), "3|30|3\n"
                            "monitor 7|70\n");
}
