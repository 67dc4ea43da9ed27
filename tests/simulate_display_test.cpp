// $display, $write and $monitor simulated end to end where the engine's own
// formatting or ordering is what is checked; output that agrees with the
// reference simulator is checked by the corpus in tests/designs/.
#include "simulate_support.h"
#include "simulator.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <vector>

using wexla_test::Simulation;

namespace {

std::string printed(const Simulation& sim) { return wexla_test::printedOutput(sim.consolePath()); }

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
                            "[101][101][0][00000101][00000101|][1][1]\n"
                            "[ab][5][5][  05][0005][10][10]\n"
                            "[hi][][ hi][26729]\n"
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

TEST(SimulateDisplay, TheMonitorPrintsAfterTheStep) {
    Simulation sim;
    const auto r = sim.run("module top; logic [7:0] n = 9;\n"
                           "initial begin $monitor(\"m%0d\", n); $write(\"%0d,\", n); $display(\"%0d.\", n); end\n"
                           "endmodule\n");
    ASSERT_TRUE(r.success) << r.error_message;
    EXPECT_EQ(printed(sim), "9,9.\nm9\n");
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

TEST(SimulateDisplay, TheConsoleFileStopsTheRunAtItsLimit) {
    Simulation sim;
    std::ostringstream banner;
    wsim_kernel::sim_state::write_banner(banner);
    // Room for the banner, its blank line and 25 bytes of output.
    const uint64_t limit = banner.str().size() + 1 + 25;
    wsim_kernel::sim_state::instance().sim_config.max_console_bytes = limit;
    WexlaCore::instance().input("module top; always #1 $display(\"0123456789\"); endmodule\n");
    wexla_test::QuietLogs quiet;
    const SimulationResult r = WexlaCore::instance().simulate();
    ASSERT_TRUE(r.success) << r.error_message;
    EXPECT_EQ(r.stop_reason, "console limit");
    EXPECT_EQ(r.final_time, 3u);  // the third line did not fit
    EXPECT_EQ(printed(sim), "0123456789\n0123456789\n012\n[the console file reached its limit of " +
                                std::to_string(limit) + " bytes; the run stopped here]\n");
    EXPECT_NE(quiet.errText.str().find("[SIM] the console file reached its limit of " +
                                       std::to_string(limit) + " bytes at t=3 — stopping.\n"),
              std::string::npos);
}
