// Timing computed as the run goes and initial values computed before it:
// what the corpus cannot show, because its reference simulators print
// something else or nothing at all.
#include "simulate_support.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

using namespace wexla_test;

namespace {

using Changes = std::map<uint64_t, int64_t>;

// Simulates `text` and keeps what the engine logged on standard error.
SimulationResult runLogged(const std::string& text, std::string& log) {
    WexlaCore::instance().input(text);
    std::ostringstream err;
    SimulationResult r;
    {
        const StreamRedirect toErr(std::cerr, err.rdbuf());
        r = WexlaCore::instance().simulate();
    }
    log = err.str();
    return r;
}

size_t occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

} // namespace

// A delay expression that comes out negative, or past what time counts,
// never ends: said once a statement in the log, never a wait back in time.
TEST(SimulateTiming, BadDelayExpressionsAreSaidAndNeverEnd) {
    Simulation sim;
    std::string log;
    const auto r = runLogged(R"(
`timescale 1ns/1ps
module top;
  integer d = 2;
  longint unsigned huge = 64'hFFFF_FFFF_FFFF_FFFF;
  logic [7:0] a = 0, q = 0, q2 = 0, done = 0, ticks = 0;
  wire [7:0] w;
  assign #d w = a;
  always begin
    #d ticks = ticks + 1;
  end
  initial begin
    #1 a = 5;
    #1 d = -3;
    a = 6;
    q <= #d 8'd1;
    q2 <= #huge 8'd2;
    #1 a = 7;
    #5 done = 1;
  end
  final $display("final w=%0d q=%0d q2=%0d ticks=%0d t=%0t", w, q, q2, ticks, $time);
endmodule
)",
                             log);
    ASSERT_TRUE(r.success) << r.error_message;
    // The run ends as events run out, with its final blocks.
    EXPECT_EQ(r.stop_reason, "no more events");
    EXPECT_EQ(r.final_time, 8000u);
    // The driver's value given at 1 (due at 3) is replaced at 2 by one that
    // never lands; the always block's wait at 4 never ends.
    EXPECT_EQ(Simulation::changes("w"), (Changes{{0, 0}}));
    EXPECT_EQ(Simulation::changes("ticks"), (Changes{{0, 0}, {2000, 1}, {4000, 2}}));
    EXPECT_EQ(Simulation::changes("q"), (Changes{{0, 0}}));
    EXPECT_EQ(Simulation::changes("q2"), (Changes{{0, 0}}));
    EXPECT_EQ(printedOutput(sim.consolePath()), "final w=0 q=0 q2=0 ticks=2 t=8000\n");
    for (const char* said :
         {"[SIM] negative delay (-3) at line 8, t=2000: the driven value is dropped.\n",
          "[SIM] negative delay (-3) at line 16, t=2000: the update is dropped.\n",
          "[SIM] delay out of range (18446744073709551615 units) at line 17, t=2000: the update "
          "is dropped.\n",
          "[SIM] negative delay (-3) at line 10, t=4000: the process never resumes.\n"})
        EXPECT_EQ(occurrences(log, said), 1u) << said << "\n" << log;
    // The driver ran again at 3 with the same bad delay: said once.
    EXPECT_EQ(occurrences(log, "negative delay"), 3u) << log;
    uint64_t last = 0;
    for (const auto& step : wsim_timeseries::TimeSeriesDB::instance().get_timeline()) {
        EXPECT_GE(step.simulationTime, last);
        last = step.simulationTime;
    }
}

// A variable initialised from others holds its value in the first recorded
// step, before any process ran; a static variable of a function takes it
// once, from variables declared before the function.
TEST(SimulateTiming, InitialValuesComputedFromOthersAreThereBeforeAnyProcess) {
    Simulation sim;
    const auto r = sim.run(R"(
module top;
  logic [3:0] k = 2, c3 = k + 1;
  logic [7:0] seed = 8'd10;
  function integer counter(input integer unused);
    static integer n = seed;
    n = n + 1;
    counter = n;
  endfunction
  integer k1 = 0, k2 = 0;
  initial begin
    c3 = 0;
    k1 = counter(0);
    k2 = counter(0);
  end
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    EXPECT_TRUE(r.not_modelled.empty());
    const auto& timeline = wsim_timeseries::TimeSeriesDB::instance().get_timeline();
    ASSERT_FALSE(timeline.empty());
    EXPECT_EQ(timeline.front().signalState.at("c3"), 3);
    EXPECT_EQ(Simulation::valueAt("c3", 0), 0);
    EXPECT_EQ(Simulation::valueAt("k1", 0), 11);
    EXPECT_EQ(Simulation::valueAt("k2", 0), 12);
}

// A property clocked on a qualified event: the event compares with what its
// clock held as the run started (here a fall at 5 from a clock that starts
// at 1), and a tick whose condition does not hold starts no attempt.
TEST(SimulateTiming, PropertyClockWithACondition) {
    Simulation sim(60);
    const auto r = sim.run(R"(
module top;
  logic clk = 1, en = 1, a = 0;
  always #5 clk = ~clk;
  p1: assert property (@(negedge clk iff en) a);
  initial begin
    #12 en = 0;
    #5 a = 1;
    #10 a = 0;
    #5 en = 1;
    #12 a = 1;
  end
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    EXPECT_TRUE(r.not_modelled.empty());
    // Falls at 5, 15, 25, 35, 45, 55; en is 0 from 12 to 32, while a holds
    // from 17 to 27 (the fall at 25 would pass), and again from 44.
    EXPECT_EQ(eventsOf("p1"), "5=FAIL 45=PASS");
}
