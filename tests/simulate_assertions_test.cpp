// Concurrent assertions simulated end to end: the recorder's property
// results, assertion events and per-step property states.
#include "simulate_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace wexla_test;

namespace {

auto& recorder() { return wsim_timeseries::TimeSeriesDB::instance(); }

// The property's state in the last step recorded at each time, space-separated.
std::string statesAt(const std::string& label, std::vector<uint64_t> times) {
    std::string out;
    for (uint64_t time : times) {
        std::string last;
        for (const auto& step : recorder().get_timeline()) {
            auto it = step.propertyState.find(label);
            if (step.simulationTime == time && it != step.propertyState.end())
                last = it->second;
        }
        out += (out.empty() ? "" : " ") + last;
    }
    return out;
}

// The property statement of a label, found through the process that runs it.
const wsim_kernel::assignment_t* statementOf(const std::string& label) {
    auto& state = wsim_kernel::sim_state::instance();
    for (auto& proc : state.all_processes())
        for (int i = 0; i < proc.number_of_statements(); ++i) {
            const auto* stmt = proc.ith_statement(i);
            if (stmt->type() == wsim_kernel::assign_t::PROP &&
                state.props(stmt->table).name() == label)
                return stmt;
        }
    return nullptr;
}

} // namespace

TEST(Assertions, CycleDelaysAndSequencesCountClockTicks) {
    Simulation sim(100);
    const auto r = sim.run(R"(
module top;
  logic clk = 0;
  always #5 clk = ~clk;
  logic req = 0, ack = 0;
  initial begin
    #12 req = 1;
    #10 req = 0;
    #10 ack = 1;
    #10 ack = 0;
    #10 req = 1;
    #10 req = 0;
  end
  // Antecedent already true at the first clock, before the period is known.
  logic first = 1, done = 0;
  initial begin
    #8 first = 0;
    #14 done = 1;
    #6 done = 0;
  end
  handshake: assert property (@(posedge clk) req |-> ##2 ack);
  from_start: assert property (@(posedge clk) first |-> ##2 done);
  early: assert property (@(posedge clk) first ##1 done);
  logic a = 0, b = 0, c = 0;
  initial begin
    #12 a = 1;
    #10 a = 0; b = 1;
    #10 b = 0;
    #10 c = 1;
    #10 c = 0; a = 1;
    #10 a = 0; b = 1;
    #10 b = 0;
  end
  abc: assert property (@(posedge clk) a ##1 b ##2 c);
  // A clock whose period changes: rising at 5, 15, 20, 40, 45, 60.
  logic gclk = 0, g = 0, h = 0;
  initial begin
    #5 gclk = 1; #5 gclk = 0; #5 gclk = 1; #2 gclk = 0; #3 gclk = 1; #10 gclk = 0;
    #10 gclk = 1; #2 gclk = 0; #3 gclk = 1; #5 gclk = 0; #10 gclk = 1; #5 gclk = 0;
  end
  initial begin #17 g = 1; #5 g = 0; #20 h = 1; #8 h = 0; end
  uneven: assert property (@(posedge gclk) g |-> ##2 h);
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    // req at 15 is judged at 35, two clocks later; req at 55 at 75. abc is
    // attempted at every clock: a at 15, b at 25, c at 45 passes; a at 55, b
    // at 65, no c at 85 fails; every other clock's attempt fails at once, a
    // being low. Such a result is shown when it differs from the last one
    // (5, 25, 45 after the pass, 65), as for a property without delay.
    // The attempt of early that starts on the first clock fails at 15.
    expectEvents({{"handshake", "35=PASS 75=FAIL"}, {"from_start", "25=PASS"}, {"early", "15=FAIL"},
                  {"abc", "5=FAIL 25=FAIL 45=PASS 45=FAIL 65=FAIL 85=FAIL"},
                  // g sampled at 20; two edges later, at 45, h holds.
                  {"uneven", "45=PASS"}});
    EXPECT_EQ(statesAt("handshake", {25, 65}), "PENDING PENDING");
    EXPECT_EQ(summaryOf("abc"), "34||sequence|FAIL|5");
}

TEST(Assertions, DisableIffHoldsResultsDuringReset) {
    Simulation sim(70);
    const auto r = sim.run(R"(
module top;
  logic clk = 0;
  always #5 clk = ~clk;
  logic rst_n = 0, a = 0, b = 0;
  initial begin
    #12 a = 1;
    #20 rst_n = 1;
    #10 b = 1;
  end
  negated: assert property (@(posedge clk) disable iff (!rst_n) a |-> b);
  compared: assert property (@(posedge clk) disable iff (rst_n == 0) a |-> b);
  plain: assert property (@(posedge clk) a |-> b);
  gated: assert property (@(posedge clk) disable iff (!rst_n) b);
  seq: assert property (@(posedge clk) disable iff (!rst_n) a ##1 b);
  logic rst_in = 1, rst = 1, req = 1, ack = 0;
  always @(posedge clk) rst <= rst_in;
  initial begin #12 rst_in = 0; #30 rst_in = 1; #10 rst_in = 0; end
  imp: assert property (@(posedge clk) disable iff (rst) req |=> ack);
  reg_seq: assert property (@(posedge clk) disable iff (rst) req ##1 ack);
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    // Nothing is judged while rst_n is low (edges 15 and 25). A registered
    // reset, rst, is written 0 at 15, 1 at 45 and 0 at 55. The disable
    // condition is not sampled: the attempt at 15 already runs, the attempt
    // from 35 due at 45 is disabled rather than failed, and attempts start
    // again at 55.
    // gated is disabled at 5, 15 and 25: those clocks judge nothing.
    expectEvents({{"plain", "15=FAIL 45=PASS"}, {"negated", "35=FAIL 45=PASS"},
                  {"gated", "35=FAIL 45=PASS"},
                  {"compared", "35=FAIL 45=PASS"}, {"seq", "45=PASS 55=PASS 65=PASS"},
                  {"imp", "25=FAIL 35=FAIL 65=FAIL"}, {"reg_seq", "25=FAIL 35=FAIL 65=FAIL"}});
    EXPECT_EQ(statesAt("negated", {25}), "VACUOUS");
    EXPECT_EQ(statesAt("gated", {25}), "VACUOUS");
    EXPECT_EQ(statesAt("plain", {5, 15, 45}), "VACUOUS FAIL PASS");
    EXPECT_EQ(summaryOf("plain"), "13|a|b|PASS|1");
    EXPECT_EQ(statesAt("imp", {15, 45, 55}), "PENDING VACUOUS PENDING");
}

TEST(Assertions, DisableIffEndsAttemptsInFlightWheneverItHolds) {
    Simulation sim(100);
    const auto r = sim.run(R"(
module top;
  logic clk = 0;
  always #5 clk = ~clk;
  logic a = 0, b = 0, rst = 0, en = 0, g = 0;
  initial begin
    #12 a = 1;
    #10 a = 0;
    #4 en = 1;
    #2 rst = 1;
    #2 rst = 0;
    #2 en = 0;
    #20 a = 1;
    #10 a = 0;
  end
  initial begin #55 rst = 1; en = 1; #0 rst = 0; en = 0; end
  initial begin #65 g = 1; #0 g = 0; end
  plain: assert property (@(posedge clk) a |-> ##2 b);
  pulse: assert property (@(posedge clk) disable iff (rst && en) a |-> ##2 b);
  glitch: assert property (@(posedge clk) disable iff (g) a |-> ##2 b);
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    // IEEE 1800 16.12: an attempt is disabled when its disable condition,
    // on current values, is true at any time from its start in the
    // observed region to its end. Attempts start at 15 and 55 (a sampled
    // high) and end at 35 and 75, b being low: plain fails at both.
    // rst && en holds from 28 to 30, between ticks, while the attempt of
    // 15 is in flight: pulse drops it. Its pulse at 55 comes before that
    // tick's observed region, where the second attempt starts: that one
    // fails at 75. g is high for no time at 65, when the attempt of 55 is
    // in flight: glitch drops it, and fails only at 35.
    expectEvents({{"plain", "35=FAIL 75=FAIL"}, {"pulse", "75=FAIL"}, {"glitch", "35=FAIL"}});
    EXPECT_EQ(statesAt("pulse", {28, 35, 55}), "VACUOUS VACUOUS PENDING");
    EXPECT_EQ(statesAt("plain", {28}), "PENDING");
    EXPECT_EQ(statesAt("glitch", {65, 75}), "VACUOUS VACUOUS");
}

TEST(Assertions, DelayRangesJudgeEveryAttemptInItsOwnWindow) {
    Simulation sim(110);
    const auto r = sim.run(R"(
module top;
  logic clk = 0;
  always #5 clk = ~clk;
  logic a = 0, b = 0, c = 0, d = 0;
  initial begin #12 a = 1; #10 a = 0; #10 a = 1; #10 a = 0; #30 a = 1; #10 a = 0; end
  initial begin #52 b = 1; #10 b = 0; #20 b = 1; #10 b = 0; end
  initial begin #62 c = 1; #10 c = 0; end
  initial begin #42 d = 1; #20 d = 0; end
  win: assert property (@(posedge clk) a |-> ##[1:3] b);
  late: assert property (@(posedge clk) a |=> ##[1:2] b);
  seq: assert property (@(posedge clk) a ##[1:2] b);
  cons: assert property (@(posedge clk) d |-> b ##[1:2] c);
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    // Clocks at 5, 15, ..., 105 sample a high at 15, 35, 75; b at 55, 85;
    // c at 65; d at 45, 55.
    // win: the attempt from 15 waits at 25..45 and fails at 45; the one from
    // 35 waits at 45..65 and passes at 55; the one from 75 passes at 85.
    // late: waits two or three clocks: 35..45 fails at 45, 55..65 passes at
    // 55, 95..105 fails at 105.
    // seq: attempted at every clock; those where a is low fail at once (shown
    // when the result differs from the last one). From 15: b at 25..35,
    // fails at 35; from 35 passes at 55; from 75 passes at 85.
    // cons: from 45, b is low: fails at once; from 55, c at 65 passes.
    expectEvents({{"win", "45=FAIL 55=PASS 85=PASS"},
                  {"late", "45=FAIL 55=PASS 105=FAIL"},
                  {"seq", "5=FAIL 25=FAIL 35=FAIL 55=PASS 55=FAIL 85=PASS 85=FAIL"},
                  {"cons", "45=FAIL 65=PASS"}});
    EXPECT_EQ(statesAt("win", {15, 25, 35}), "PENDING PENDING PENDING");
    EXPECT_EQ(summaryOf("cons"), "13|d|sequence|PASS|1");
}

TEST(Assertions, SequencesFollowEveryMatchInARange) {
    Simulation sim(90);
    const auto r = sim.run(R"(
module top;
  logic clk = 0;
  always #5 clk = ~clk;
  logic go = 0, go2 = 0, y = 0, z = 0, never = 0;
  initial begin #12 go = 1; #10 go = 0; end
  initial begin #22 go2 = 1; #10 go2 = 0; #30 go2 = 1; #10 go2 = 0; end
  initial begin #22 y = 1; #10 y = 0; #10 y = 1; #10 y = 0; end
  initial begin #52 z = 1; #10 z = 0; end
  second_match: assert property (@(posedge clk) go |-> ##[1:3] y ##1 z);
  no_match: assert property (@(posedge clk) go |-> ##[1:3] y ##1 never);
  at_once: assert property (@(posedge clk) go2 |-> ##[0:1] y);
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    // Clocks sample go high at 15, go2 at 25 and 65, y at 25 and 45, z at 55.
    // From 15, y at 25 is not followed by z at 35, but y at 45 is by z at 55:
    // a pass at 55. With never, both matches of y lead nowhere: a fail at 55,
    // when the window of y has closed. at_once from 25 passes at once (y at
    // 25); from 65 waits at 65..75 and fails at 75.
    expectEvents({{"second_match", "55=PASS"},
                  {"no_match", "55=FAIL"},
                  {"at_once", "25=PASS 75=FAIL"}});
}

TEST(Assertions, RegistersAndInputsAreJudgedBySampledValues) {
    Simulation sim(60);
    const auto r = sim.run(R"(
module top;
  logic clk = 0;
  always #5 clk = ~clk;
  logic s_next = 0, s = 0, t = 0;
  logic [3:0] d_next = 0, d = 0;
  logic en = 1;
  always @(posedge clk) s <= s_next;
  always @(posedge clk) d <= d_next;
  initial begin
    #12 s_next = 1; t = 1; d_next = 3;
    #10 s_next = 0; t = 0;
    #10 d_next = 5;
    #10 s_next = 1;
  end
  rose: assert property (@(posedge clk) $rose(s) |-> t);
  fell: assert property (@(posedge clk) $fell(s) |-> t);
  stable: assert property (@(posedge clk) en |-> $stable(d));
  changed: assert property (@(posedge clk) en |-> $changed(d));
  rose_lsb: assert property (@(posedge clk) $rose(d) |-> en);
  logic on_edge = 0, off_edge = 0, one = 1;
  // Driven at the clock edges 15 and 45, and between edges at 12 and 32.
  initial begin #15 on_edge = 1; #30 on_edge = 0; end
  initial begin #12 off_edge = 1; #20 off_edge = 0; end
  rose_on: assert property (@(posedge clk) $rose(on_edge) |-> one);
  fell_on: assert property (@(posedge clk) $fell(on_edge) |-> one);
  changed_on: assert property (@(posedge clk) $changed(on_edge) |-> one);
  level_on: assert property (@(posedge clk) on_edge);
  rose_off: assert property (@(posedge clk) $rose(off_edge) |-> one);
  fell_off: assert property (@(posedge clk) $fell(off_edge) |-> one);
  stable_off: assert property (@(posedge clk) one |-> $stable(off_edge));
  logic rst_n = 0, req = 0, ack = 0;
  always @(posedge clk) ack <= req;
  initial begin #12 rst_n = 1; #20 req = 1; #10 req = 0; end
  req_ack: assert property (@(posedge clk) disable iff (!rst_n) req |=> ack);
  logic hreq = 0, stage = 0, hack = 0;
  always @(posedge clk) stage <= hreq;
  always @(posedge clk) hack <= stage;
  initial begin #12 hreq = 1; #10 hreq = 0; end
  handshake: assert property (@(posedge clk) hreq |-> ##2 hack);
  too_early: assert property (@(posedge clk) hreq |-> ##1 hack);
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    // Registers are judged by the values sampled at the clock, before that
    // clock's writes: s is written 1 at 15, 0 at 25 and 1 at 45, so the
    // clocks at 25 and 55 see it rise and the one at 35 sees it fall; t is
    // low by then. d is written 3 at 15 and 5 at 35: the clocks at 25 and 45
    // see it change. $rose of a vector looks at its least significant bit:
    // 0 -> 3 rises, 3 -> 5 does not. A value driven at a clock edge is sampled
    // at that edge as it was before, and seen from the next edge on; values
    // driven between edges are sampled at the next edge. Registered
    // responses: req is sampled high at 35 and ack, written 1 at 35, is
    // sampled high at 45, before the write of 0 at 45. hreq sampled at 15
    // reaches hack through two registers: written 1 at 25, so sampled high at
    // 35, two clocks on, and low at 25, one clock on.
    expectEvents({{"rose", "25=FAIL 55=FAIL"},
                  {"fell", "35=FAIL"},
                  {"stable", "5=PASS 25=FAIL 35=PASS 45=FAIL 55=PASS"},
                  {"changed", "5=FAIL 25=PASS 35=FAIL 45=PASS 55=FAIL"},
                  {"rose_lsb", "25=PASS"},
                  {"rose_on", "25=PASS"},
                  {"fell_on", "55=PASS"},
                  {"changed_on", "25=PASS 55=PASS"},
                  {"level_on", "5=FAIL 25=PASS 55=FAIL"},
                  {"rose_off", "15=PASS"},
                  {"fell_off", "35=PASS"},
                  {"stable_off", "5=PASS 15=FAIL 25=PASS 35=FAIL 45=PASS"},
                  {"req_ack", "45=PASS"},
                  {"handshake", "35=PASS"},
                  {"too_early", "25=FAIL"}});
    EXPECT_EQ(Simulation::valueAt("s", 25), 0);
    EXPECT_EQ(Simulation::valueAt("ack", 45), 0);
    EXPECT_EQ(statesAt("req_ack", {35}), "PENDING");
    EXPECT_EQ(statesAt("handshake", {25}), "PENDING");
}

TEST(Assertions, BeforeTheFirstClockSampledValuesLookBackOnTheDeclaredValue) {
    // The default sampled value is the value a variable was declared with
    // (IEEE 1800 16.5.1), in properties and procedures alike: `one` never
    // rises, `late` rises from its declared 0 before the first clock.
    Simulation sim(20);
    const auto r = sim.run(R"(
module top;
  bit clk = 0, one = 1, late = 0;
  always #5 clk = ~clk;
  initial #2 late = 1;
  rose_late: assert property (@(posedge clk) $rose(late));
  rose_one: assert property (@(posedge clk) $rose(one));
  always @(posedge clk) $display("%0t %0d %0d", $time, $rose(late), $rose(one));
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    expectEvents({{"rose_late", "5=PASS 15=FAIL"}, {"rose_one", "5=FAIL"}});
    EXPECT_EQ(printedOutput(sim.consolePath()), "5 1 0\n15 0 0\n");
}

TEST(Assertions, UnlabelledAssertionsKeepTheirOwnResults) {
    Simulation sim(30);
    const auto r = sim.run(R"(
module checker_unit(input logic clk, input logic v);
  assert property (@(posedge clk) v);
  held: assert property (@(posedge clk) v);
endmodule
module top;
  logic clk = 0;
  always #5 clk = ~clk;
  logic a = 1, b = 0;
  assert property (@(posedge clk) a);
  assert property (@(posedge clk) b);
  named: assert property (@(posedge clk) a |-> b);
  checker_unit u1(.clk(clk), .v(a));
  checker_unit u2(.clk(clk), .v(b));
  held_2: assert property (@(posedge clk) a);
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    // One line or one label, two instances: the second is told apart by a
    // suffix, which steps over a label the design already uses.
    expectEvents({{"assert_L10", "5=PASS"}, {"assert_L11", "5=FAIL"}, {"named", "5=FAIL"},
                  {"held_2", "5=PASS"}, {"assert_L3", "5=PASS"}, {"held", "5=PASS"},
                  {"assert_L3_2", "5=FAIL"}, {"held_3", "5=FAIL"}});
    EXPECT_EQ(recorder().get_property_results().size(), 8u);
    EXPECT_EQ(summaryOf("assert_L11"), "11||b|FAIL|1");
}

TEST(Assertions, ShapesAndWhatIsLeftOut) {
    Simulation sim(20);
    const auto r = sim.run(R"(
module top;
  logic clk = 0;
  always #5 clk = ~clk;
  logic a = 0, b = 0, c = 0;
  two_after: assert property (@(posedge clk) a |=> ##2 b);
  unbounded: assert property (@(posedge clk) a |-> ##[1:$] b);
  implied: assert property (@(posedge clk) a implies b);
  delayed: assert property (@(posedge clk) ##1 b);
  always @(posedge clk) in_block: assert property (a |-> b);
  both: assert property (@(posedge clk) a and b);
  until_b: assert property (@(posedge clk) a until b);
  nested: assert property (@(posedge clk) a |-> (b |-> c));
  repeated: assert property (@(posedge clk) a[*2] |-> b);
  covered: cover property (@(posedge clk) a ##1 b);
  unclocked: assert property (a |-> b);
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    auto delay_of = [](const std::string& label) {
        const auto* stmt = statementOf(label);
        if (!stmt)
            return -1;
        const auto& steps = wsim_kernel::sim_state::instance().props(stmt->table).steps;
        return steps.size() == 1 && steps[0].min_delay == steps[0].max_delay
                   ? static_cast<int>(steps[0].min_delay)
                   : -2;
    };
    EXPECT_EQ(delay_of("two_after"), 3);
    EXPECT_EQ(delay_of("implied"), 0);
    EXPECT_EQ(delay_of("delayed"), 1);
    // Inside a clocked block the block's own event clocks the property.
    EXPECT_EQ(delay_of("in_block"), 0);
    ASSERT_NE(statementOf("in_block"), nullptr);
    EXPECT_NE(statementOf("in_block")->events, 0);
    // Operators that are not modelled leave their assertion out (reported as
    // readme_test.cpp checks), never checked as some other property.
    for (const char* left_out :
         {"unbounded", "both", "until_b", "nested", "repeated", "covered", "unclocked"}) {
        EXPECT_EQ(statementOf(left_out), nullptr) << left_out;
        EXPECT_EQ(resultOf(left_out), nullptr) << left_out;
    }
    // ##1 b alone: b must hold one clock after every clock.
    EXPECT_EQ(eventsOf("delayed"), "15=FAIL");
}

TEST(Assertions, InAProcedureAnAttemptStartsOnlyWhereTheProcedureReachesIt) {
    Simulation sim(60);
    const auto r = sim.run(R"(
module top;
  logic clk = 0, req = 0, ack = 0, go = 0, rst_n = 1, y = 0, x = 0;
  logic [1:0] mode = 0;
  always #5 clk = ~clk;
  always_ff @(posedge clk) if (go) hs: assert property (req |-> ##2 ack);
  every_clock: assert property (@(posedge clk) req |-> ##2 ack);
  always @(posedge clk) case (mode) 2'd1: m1: assert property (req); default: ; endcase
  always @(posedge clk or negedge rst_n) if (!rst_n) in_reset: assert property (y);
  initial @(posedge clk) once: assert property (req);
  always @(x) if (x) glitch: assert property (@(posedge clk) req);
  initial begin
    #12 go = 1; req = 1; x = 1;
    #0 x = 0;
    #5 rst_n = 0;
    #3 y = 1;
    #2 go = 0; mode = 1; x = 1;
    #1 rst_n = 1;
    #9 req = 0; ack = 1;
    #6 mode = 2;
    #4 ack = 0;
  end
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    EXPECT_TRUE(r.not_modelled.empty());
    // Rising edges at 5, 15, 25, 35, 45. go is high at 15 only: hs is
    // attempted there and passes two clocks later, with ack high at 35;
    // the same property outside the procedure is attempted at 25 as well
    // and fails at 45. m1 is reached at 25 and 35, mode being 1 from 22 to
    // 38. in_reset (clocked by posedge clk: the body reads rst_n) is reached
    // at 17, between clocks; its attempt starts at the next clock, 25, and
    // judges y as sampled there. once is reached at the first clock. x
    // rises and falls within 12: the procedure reached glitch, then resumed
    // before the observed region, which drops that attempt; x rises again
    // at 22, and the attempt starts at 25.
    expectEvents({{"hs", "35=PASS"}, {"every_clock", "35=PASS 45=FAIL"},
                  {"m1", "25=PASS 35=FAIL"}, {"in_reset", "25=PASS"}, {"once", "5=FAIL"},
                  {"glitch", "25=PASS"}});
    // A clock at which the procedure did not reach m1 shows no attempt, as
    // a false antecedent does.
    EXPECT_EQ(statesAt("m1", {15, 25, 35, 45}), "VACUOUS PASS FAIL VACUOUS");
    // The attempt in_reset asked for waits in the observed region of 17.
    bool waits_at_17 = false;
    for (const auto& step : recorder().get_timeline())
        for (const auto& item : step.queues.observed)
            waits_at_17 = waits_at_17 || (step.simulationTime == 17 && item.line == 9);
    EXPECT_TRUE(waits_at_17);
}

TEST(Assertions, AnAssertionInCodeLeftOutIsNoProperty) {
    // An always block without timing control is left out whole; so is a
    // case whose second item reads a vector the model leaves out, after
    // its first arm's assertion was compiled.
    Simulation sim(30);
    const auto r = sim.run(R"(
module top;
  logic clk = 0, a = 0, b = 1, sel = 0;
  logic [99:0] huge = 0;
  always #5 clk = ~clk;
  always if (b) untimed: assert property (@(posedge clk) a);
  always @(posedge clk) case (sel) 1'b0: in_case: assert property (a); huge[0]: ; endcase
  always @(posedge clk) kept: assert property (b);
  assert property (@(posedge clk) b);
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    EXPECT_EQ(r.not_modelled.size(), 3u);
    std::vector<std::string> labels;
    for (const auto& p : recorder().get_property_results())
        labels.push_back(p.label);
    EXPECT_EQ(labels, (std::vector<std::string>{"kept", "assert_L9"}));
    size_t states_shown = 0;
    for (const auto& step : recorder().get_timeline())
        states_shown += step.propertyState.count("untimed") + step.propertyState.count("in_case");
    EXPECT_EQ(states_shown, 0u);
    EXPECT_EQ(statementOf("untimed"), nullptr);
    EXPECT_EQ(statementOf("in_case"), nullptr);
    expectEvents({{"kept", "5=PASS"}, {"assert_L9", "5=PASS"}});
}
