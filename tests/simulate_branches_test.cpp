// If and case statements simulated end to end, checked against the recorded
// values.
#include "simulate_support.h"

#include <gtest/gtest.h>

using wexla_test::Simulation;
using Changes = std::map<uint64_t, int64_t>;

TEST(SimulateBranches, IfElseChainsNestedIfsAndComparisons) {
    Simulation sim(60);
    const auto r = sim.run(R"(
module top;
  logic clk = 0;
  logic [7:0] sel = 0;
  logic a = 0, b = 0;
  logic [1:0] chain = 0;
  logic [7:0] nested = 0;
  logic [7:0] x = 0;
  logic eq = 0, ne = 0, lt = 0, le = 0, gt = 0, ge = 0;
  logic signed [7:0] s = -8'sd3;
  logic [7:0] u = 8'd1, big = 8'd200;
  logic [2:0] cnt = 3'd7;
  logic neg = 0, unsigned_mix = 0, cast_mix = 0, wide = 0, never = 0, below_eight = 0;
  always #5 clk = ~clk;
  initial begin
    #10 sel = 1; a = 1; x = 8'hF9;
    #10 sel = 2; b = 1; x = 8'h05;
    #10 sel = 7; a = 0; x = 8'h0C;
  end
  always @(posedge clk)
    if (sel == 1) chain <= 1;
    else if (sel == 2) chain <= 2;
    else chain <= 3;
  always @(posedge clk)
    if (a) begin
      if (b) nested <= 8'd11;
      else nested <= 8'd10;
    end else nested <= 8'd0;
  // Slices compare as unsigned numbers with each operator.
  always @(posedge clk) begin
    if (x[3:0] == 9) eq <= 1; else eq <= 0;
    if (x[3:0] != 9) ne <= 1; else ne <= 0;
    if (x[3:0] < 9) lt <= 1; else lt <= 0;
    if (x[3:0] <= 9) le <= 1; else le <= 0;
    if (x[3:0] > 9) gt <= 1; else gt <= 0;
    if (x[3:0] >= 9) ge <= 1; else ge <= 0;
  end
  always @(posedge clk) begin
    if (s < 0) neg <= 1;
    if (s < u) unsigned_mix <= 1;
    if ($signed(big) < u) cast_mix <= 1;
    if (big < 300) wide <= 1;
    if (big == 456) never <= 1;
    if (cnt < 8) below_eight <= 1;
  end
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    // The final else runs only when both tests fail.
    EXPECT_EQ(Simulation::changes("chain"), (Changes{{0, 0}, {5, 3}, {15, 1}, {25, 2}, {35, 3}}));
    // The inner arms carry the outer condition too.
    EXPECT_EQ(Simulation::changes("nested"), (Changes{{0, 0}, {15, 10}, {25, 11}, {35, 0}}));
    // Slice 0 at 5, 9 at 15, 5 at 25, 12 at 35.
    const std::map<std::string, Changes> slices = {
        {"eq", {{0, 0}, {15, 1}, {25, 0}}},
        {"ne", {{0, 0}, {5, 1}, {15, 0}, {25, 1}}},
        {"lt", {{0, 0}, {5, 1}, {15, 0}, {25, 1}, {35, 0}}},
        {"le", {{0, 0}, {5, 1}, {35, 0}}},
        {"gt", {{0, 0}, {35, 1}}},
        {"ge", {{0, 0}, {15, 1}, {25, 0}, {35, 1}}},
    };
    for (const auto& [name, expected] : slices)
        EXPECT_EQ(Simulation::changes(name), expected) << name;
    // Signed only when both sides are; a literal keeps its own value rather
    // than being cut to the signal's width.
    const std::map<std::string, int64_t> at_first_edge = {
        {"neg", 1}, {"unsigned_mix", 0}, {"cast_mix", 0},
        {"wide", 1}, {"never", 0},       {"below_eight", 1}};
    for (const auto& [name, value] : at_first_edge)
        EXPECT_EQ(Simulation::valueAt(name, 5), value) << name;
}

TEST(SimulateBranches, IfsInInitialBlocksAndIfsLeftOut) {
    Simulation sim(60);
    const auto r = sim.run(R"(
module top;
  logic clk = 0;
  logic on = 1, off = 0;
  logic t1 = 0, e1 = 0, after1 = 0;
  logic t2 = 0, e2 = 0, after2 = 0;
  logic inner = 0, go = 0, stop = 0;
  always #10 clk = ~clk;
  initial begin
    #5;
    if (on) begin #10 t1 = 1; end else begin #3 e1 = 1; end
    after1 = 1;
  end
  initial begin
    #5;
    if (off) begin #10 t2 = 1; end else begin #3 e2 = 1; end
    after2 = 1;
    if (on) if (!off) #1 inner = 1;
  end
  initial begin
    @(posedge clk);
    if (off) stop = 1; else go = 1;
  end
  logic [3:0] data = 4'b0101;
  logic [1:0] i = 1;
  logic q = 1, first = 0, after = 0;
  logic p = 0, r = 0;
  always @(posedge clk) begin
    first <= 1;
    if (data[i]) q <= 1; else q <= 0;
    after <= 1;
  end
  initial begin
    #2;
    if (data[i]) #10 p = 1;
    r = 1;
  end
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    // What follows an if runs after the arm that was taken.
    EXPECT_EQ(Simulation::changes("t1"), (Changes{{0, 0}, {15, 1}}));
    EXPECT_EQ(Simulation::changes("e1"), (Changes{{0, 0}}));
    EXPECT_EQ(Simulation::changes("after1"), (Changes{{0, 0}, {15, 1}}));
    EXPECT_EQ(Simulation::changes("t2"), (Changes{{0, 0}}));
    EXPECT_EQ(Simulation::changes("e2"), (Changes{{0, 0}, {8, 1}}));
    EXPECT_EQ(Simulation::changes("after2"), (Changes{{0, 0}, {8, 1}}));
    EXPECT_EQ(Simulation::changes("inner"), (Changes{{0, 0}, {9, 1}}));
    // An if after a bare event wait runs on that event.
    EXPECT_EQ(Simulation::changes("go"), (Changes{{0, 0}, {10, 1}}));
    EXPECT_EQ(Simulation::changes("stop"), (Changes{{0, 0}}));
    // A condition on a bit chosen by a signal reads both when it runs.
    EXPECT_EQ(Simulation::changes("q"), (Changes{{0, 1}, {10, 0}}));
    EXPECT_EQ(Simulation::changes("first"), (Changes{{0, 0}, {10, 1}}));
    EXPECT_EQ(Simulation::changes("after"), (Changes{{0, 0}, {10, 1}}));
    EXPECT_EQ(Simulation::changes("p"), (Changes{{0, 0}}));
    EXPECT_EQ(Simulation::changes("r"), (Changes{{0, 0}, {2, 1}}));
}

TEST(SimulateBranches, CaseOverOneEightAndSixtyFourBitSelectors) {
    Simulation sim(60);
    const auto r = sim.run(R"(
module top;
  localparam logic [7:0] MAGIC = 8'h42;
  logic clk = 0;
  logic s1 = 0;
  logic [7:0] s8 = 0;
  logic [7:0] other = 8'h07;
  logic [63:0] s64 = 0;
  logic [1:0] o1 = 0;
  logic [7:0] o8 = 0;
  logic [7:0] o64 = 0;
  logic [7:0] nodefault = 0;
  always #5 clk = ~clk;
  initial begin
    #10 s1 = 1; s8 = 3;    s64 = 64'h8000_0000_0000_0000;
    #10 s1 = 0; s8 = 8'h42; s64 = 64'hFFFF_FFFF_FFFF_FFFF;
    #10 s8 = 7;            s64 = 5;
    #10 s8 = 200;          s64 = 64'h1234;
  end
  always @(posedge clk)
    case (s1)
      1'b0: o1 <= 1;
      1'b1: o1 <= 2;
    endcase
  always @(posedge clk)
    case (s8)
      1, 2, 3: o8 <= 8'd10;
      MAGIC:   o8 <= 8'd20;
      other:   o8 <= 8'd30;
      default: o8 <= 8'd99;
    endcase
  always @(posedge clk)
    case (s64)
      64'h8000_0000_0000_0000: o64 <= 1;
      64'hFFFF_FFFF_FFFF_FFFF, 5: o64 <= 2;
      default: begin
        if (s64 == 0) o64 <= 3;
        else o64 <= 4;
      end
    endcase
  always @(posedge clk)
    case (s8)
      3: nodefault <= 8'd3;
      7: nodefault <= 8'd7;
    endcase
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    EXPECT_EQ(Simulation::changes("o1"), (Changes{{0, 0}, {5, 1}, {15, 2}, {25, 1}}));
    // Several expressions in one item, a parameter, a signal and the default.
    EXPECT_EQ(Simulation::changes("o8"),
              (Changes{{0, 0}, {5, 99}, {15, 10}, {25, 20}, {35, 30}, {45, 99}}));
    // An if nested in the default arm is guarded by it too.
    EXPECT_EQ(Simulation::changes("o64"), (Changes{{0, 0}, {5, 3}, {15, 1}, {25, 2}, {45, 4}}));
    EXPECT_EQ(Simulation::changes("nodefault"), (Changes{{0, 0}, {15, 3}, {35, 7}}));
}

TEST(SimulateBranches, WildcardItemsCompareOnlyTheirKnownBits) {
    Simulation sim(60);
    const auto r = sim.run(R"(
module top;
  logic clk = 0;
  logic [3:0] sel = 0;
  logic [63:0] wide = 0;
  logic [7:0] z = 0, x = 0, plain = 0, ins = 0, w = 0;
  always #5 clk = ~clk;
  initial begin
    #10 sel = 4'b1010; wide = 64'h1000_0000_0000_00AB;
    #10 sel = 4'b0110; wide = 64'h2000_0000_0000_00AB;
    #10 sel = 4'b0011; wide = 64'h1FFF_FFFF_FFFF_FFAB;
  end
  // The first matching item wins, as written.
  always @(posedge clk)
    casez (sel)
      4'b1???: z <= 1;
      4'b?11?: z <= 2;
      4'b??1?: z <= 3;
      4'b1x??: z <= 4;
      default: z <= 9;
    endcase
  always @(posedge clk)
    casex (sel)
      4'b1xxx: x <= 1;
      4'bz11z: x <= 2;
      default: x <= 9;
    endcase
  // A plain case item with unknown bits never matches.
  always @(posedge clk)
    case (sel)
      4'b1???: plain <= 1;
      4'bxx1x: plain <= 2;
      default: plain <= 9;
    endcase
  always @(posedge clk)
    case (sel) inside
      4'b?0?1: ins <= 1;
      4'b0?1?: ins <= 2;
      default: ins <= 9;
    endcase
  always @(posedge clk)
    casez (wide)
      64'h1???_????_????_??AB: w <= 1;
      default: w <= 9;
    endcase
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    // sel: 0000 at 5, 1010 at 15, 0110 at 25, 0011 at 35.
    EXPECT_EQ(Simulation::changes("z"), (Changes{{0, 0}, {5, 9}, {15, 1}, {25, 2}, {35, 3}}));
    EXPECT_EQ(Simulation::changes("x"), (Changes{{0, 0}, {5, 9}, {15, 1}, {25, 2}, {35, 9}}));
    EXPECT_EQ(Simulation::changes("plain"), (Changes{{0, 0}, {5, 9}}));
    EXPECT_EQ(Simulation::changes("ins"), (Changes{{0, 0}, {5, 9}, {25, 2}, {35, 1}}));
    EXPECT_EQ(Simulation::changes("w"), (Changes{{0, 0}, {5, 9}, {15, 1}, {25, 9}, {35, 1}}));
}

TEST(SimulateBranches, AnArmRunsWholeWhenItsFirstStatementChangesTheCondition) {
    Simulation sim(40);
    const auto r = sim.run(R"(
module top;
  logic clk = 0;
  logic f = 0, g = 0, h = 0;
  logic x = 0, y = 0;
  logic [1:0] sel = 0;
  logic [7:0] z = 0;
  always #5 clk = ~clk;
  always @(posedge clk)
    if (!f) begin f = 1; x = 1; end
  always @(posedge clk)
    if (!g) begin g <= 1; y <= 1; end
  always @(posedge clk)
    case (sel)
      0: begin sel = 1; z = 8'd7; end
      default: h = 1;
    endcase
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    EXPECT_EQ(Simulation::changes("x"), (Changes{{0, 0}, {5, 1}}));
    EXPECT_EQ(Simulation::changes("y"), (Changes{{0, 0}, {5, 1}}));
    EXPECT_EQ(Simulation::changes("z"), (Changes{{0, 0}, {5, 7}}));
    EXPECT_EQ(Simulation::changes("h"), (Changes{{0, 0}, {15, 1}}));
}
