// Binary operators and user functions on the right of vector assignments,
// simulated end to end and checked against the recorded values.
#include "simulate_support.h"

#include <gtest/gtest.h>

using wexla_test::Simulation;
using Changes = std::map<uint64_t, int64_t>;

namespace {

int64_t bits(uint64_t v) { return static_cast<int64_t>(v); }

void expectValues(const std::map<std::string, int64_t>& expected, uint64_t time) {
    for (const auto& [name, value] : expected)
        EXPECT_EQ(Simulation::valueAt(name, time), value) << name;
}

} // namespace

TEST(SimulateBinary, ArithmeticAndShiftsOfSignalsAndConstants) {
    Simulation sim(20);
    const auto r = sim.run(R"(
module top;
  parameter STEP = 3, N = 1;
  logic [7:0] sh = 8'b1001_0110, n = 8'd2;
  logic signed [7:0] sneg = -8'sd16;
  logic signed [63:0] s64 = -64'sd5;
  logic [7:0] left2, right3, arith_signed, arith_unsigned, arith_cast, by_param, by_70;
  logic [7:0] by_variable = 8'h55;
  logic [15:0] arith_wide;
  logic [63:0] sign_only;
  logic [7:0] a = 8'd200, b = 8'd100, ff = 8'hFF, fe = 8'hFE;
  logic signed [7:0] sa = -8'sd6, sb = 8'sd4;
  logic [7:0] sum, diff, prod, quo, rem, k_minus, minus_k, times_k, ssub, plus_param;
  logic [15:0] wide_sum, sdiv, smul, both_signed, ssum_of_unsigned;
  logic signed [7:0] s = -8'sd3;
  logic [7:0] u = 8'd1;
  logic [15:0] mixed, cast_unsigned, both, shifted, cast_shifted, minus_literal;
  initial begin
    #1 sum = a + b;
    diff = b - a;
    prod = a * b;
    quo = a / b;
    rem = a % 7;
    k_minus = 3 - b;
    minus_k = b - 3;
    times_k = b * 3;
    ssub = sa - sb;
    plus_param = b + STEP;
    wide_sum = a + b;
    sdiv = sa / sb;
    smul = $signed(fe) * 2;
    both_signed = sa * sb;
    ssum_of_unsigned = $signed(ff) + $signed(fe);
    mixed = s + u;
    cast_unsigned = $unsigned(s) + 1;
    both = s + 8'sd1;
    shifted = s >>> 1;
    cast_shifted = $unsigned(s) >>> 1;
    minus_literal = s - 1;
    left2 = sh << 2;
    right3 = sh >> 3;
    arith_signed = sneg >>> 2;
    arith_unsigned = sh >>> 2;
    arith_cast = $signed(sh) >>> 4;
    by_param = sh << N;
    by_70 = sh << 70;
    by_variable = sh << n;
    arith_wide = sneg >>> 1;
    sign_only = s64 >>> 63;
  end
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    expectValues({{"sum", 44},
                  {"diff", 156},
                  {"prod", 32},
                  {"quo", 2},
                  {"rem", 4},
                  {"k_minus", 159},
                  {"minus_k", 97},
                  {"times_k", 44},
                  {"ssub", 246},
                  {"plus_param", 103},
                  {"wide_sum", 300},
                  // Signed operands are sign-extended to the target's width.
                  {"sdiv", 0xFFFF},
                  {"smul", 0xFFFC},
                  {"both_signed", 0xFFE8},
                  // $signed makes the signal-with-signal form signed too.
                  {"ssum_of_unsigned", 0xFFFD},
                  // An operation is signed only when both operands are: an
                  // unsigned one zero-extends the signed byte (253).
                  {"mixed", 254},
                  {"cast_unsigned", 254},
                  {"both", 0xFFFE},
                  {"shifted", 0xFFFE},
                  {"cast_shifted", 126},
                  {"minus_literal", 0xFFFC},
                  {"left2", 0x58},
                  {"right3", 0x12},
                  {"arith_signed", 0xFC},
                  {"arith_unsigned", 0x25},
                  {"arith_cast", 0xF9},
                  {"by_param", 0x2C},
                  {"by_70", 0},
                  {"by_variable", 0x58},
                  {"arith_wide", 0xFFF8},
                  {"sign_only", -1}},
                 5);
}

TEST(SimulateBinary, DivisionAndRemainderEdgeCases) {
    Simulation sim(20);
    const auto r = sim.run(R"(
module top;
  logic signed [63:0] smin = 64'sh8000_0000_0000_0000, minus_one = -64'sd1, three = 64'sd3;
  logic [63:0] ubig = 64'hFFFF_FFFF_FFFF_FFFF, ten = 64'd10;
  logic [7:0] x = 8'd9, zero = 8'd0;
  logic [63:0] q_min, r_min, q_min_k, r_min_k, q_big, r_big, q_s3, r_s3;
  logic [7:0] q_zero = 8'h55, r_zero = 8'h55, q_zero_k = 8'h55, r_zero_k = 8'h55;
  initial begin
    #1 q_min = smin / minus_one;
    r_min = smin % minus_one;
    q_min_k = smin / -1;
    r_min_k = smin % -1;
    q_big = ubig / ten;
    r_big = ubig % ten;
    q_s3 = smin / three;
    r_s3 = smin % three;
    q_zero = x / zero;
    r_zero = x % zero;
    q_zero_k = x / 0;
    r_zero_k = x % 0;
  end
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    expectValues({// The most negative value over -1 wraps instead of trapping.
                  {"q_min", bits(0x8000000000000000ULL)},
                  {"r_min", 0},
                  {"q_min_k", bits(0x8000000000000000ULL)},
                  {"r_min_k", 0},
                  // Unsigned values at or above 2^63 divide as unsigned.
                  {"q_big", bits(1844674407370955161ULL)},
                  {"r_big", 5},
                  // Signed division truncates toward zero.
                  {"q_s3", -3074457345618258602LL},
                  {"r_s3", -2},
                  {"q_zero", 0},
                  {"r_zero", 0},
                  {"q_zero_k", 0},
                  {"r_zero_k", 0}},
                 5);
}

TEST(SimulateBinary, BitwiseLogicalComparisonAndPower) {
    Simulation sim(20);
    const auto r = sim.run(R"(
module top;
  logic [7:0] a = 8'hC3, b = 8'h0F, two = 8'd2, one = 8'd1, zero = 8'd0;
  logic signed [7:0] minus1 = -8'sd1, plus1 = 8'sd1, minus3 = -8'sd3, stwo = 8'sd2;
  logic [63:0] three = 3, forty_one = 41;
  logic [7:0] and_v, or_v, xor_v, xnor_v, land, lor, land0, lor0, imply, equiv;
  logic [7:0] eq, ne, lt, ge, gt, le, slt, ult, mixed, pow8, pow_m1, pow_2;
  logic [63:0] pow64;
  logic [7:0] not_bitwise = 8'h77;
  initial begin
    #1 and_v = a & b;
    or_v = a | b;
    xor_v = a ^ b;
    xnor_v = a ~^ b;
    land = two && one;
    lor = two || one;
    land0 = two && zero;
    lor0 = zero || zero;
    imply = (two -> zero);
    equiv = (two <-> one);
    eq = a == b;
    ne = a != b;
    lt = b < a;
    ge = b >= a;
    gt = a > b;
    le = a <= a;
    slt = minus1 < plus1;
    ult = a < two;
    mixed = a[0] + b;
    pow8 = b ** two;
    pow64 = three ** forty_one;
    pow_m1 = minus1 ** minus3;
    pow_2 = stwo ** minus3;
    not_bitwise = ~a & b;
  end
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    expectValues({{"and_v", 0x03},
                  {"or_v", 0xCF},
                  {"xor_v", 0xCC},
                  {"xnor_v", 0x33},
                  // && and || answer the truth of their operands.
                  {"land", 1},
                  {"lor", 1},
                  {"land0", 0},
                  {"lor0", 0},
                  {"imply", 0},
                  {"equiv", 1},
                  {"eq", 0},
                  {"ne", 1},
                  {"lt", 1},
                  {"ge", 0},
                  {"gt", 1},
                  {"le", 1},
                  {"slt", 1},
                  {"ult", 0},
                  {"mixed", 16},
                  {"pow8", 225},
                  {"pow64", bits(18026252303461234787ULL)},
                  {"pow_m1", 0xFF},
                  {"pow_2", 0},
                  {"not_bitwise", 0x0C}},
                 5);
}

TEST(SimulateBinary, ResultsFollowTheirOperandsInInstancesAndUnderAnEventList) {
    Simulation sim(40);
    const auto r = sim.run(R"(
module scaler(input logic [7:0] din, output logic [7:0] dout);
  function [7:0] triple(input [7:0] x);
    triple = x * 3;
  endfunction
  always_comb dout = triple(din);
endmodule
module top;
  logic c1 = 0, c2 = 0;
  logic [7:0] a = 8'h3C, b = 8'h3F;
  logic [7:0] both, sum, shifted, combo, inc, aout, bout;
  function [7:0] add1(input [7:0] x);
    add1 = x + 1;
  endfunction
  scaler u1(.din(a), .dout(aout));
  scaler u2(.din(b), .dout(bout));
  always @(posedge c1 or posedge c2) both <= a & b;
  always @(posedge c1 or posedge c2) sum <= a + b;
  always @(posedge c1 or posedge c2) shifted <= a >> 2;
  always @(posedge c1 or posedge c2) inc <= add1(a);
  always_comb combo = a ^ b;
  initial begin
    #10 c2 = 1;
    #5 a = 8'hF0;
    #5 c1 = 1;
  end
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    // The copy of each statement under c2 updates at 10, the one under c1 at 20.
    EXPECT_EQ(Simulation::changes("both"), (Changes{{0, 0}, {10, 0x3C}, {20, 0x30}}));
    EXPECT_EQ(Simulation::changes("sum"), (Changes{{0, 0}, {10, 0x7B}, {20, 0x2F}}));
    EXPECT_EQ(Simulation::changes("shifted"), (Changes{{0, 0}, {10, 0x0F}, {20, 0x3C}}));
    EXPECT_EQ(Simulation::changes("inc"), (Changes{{0, 0}, {10, 0x3D}, {20, 0xF1}}));
    EXPECT_EQ(Simulation::changes("combo"), (Changes{{0, 0x03}, {15, 0xCF}}));
    // Each instance's function reads its own port.
    EXPECT_EQ(Simulation::changes("aout"), (Changes{{0, 0xB4}, {15, 0xD0}}));
    EXPECT_EQ(Simulation::valueAt("bout", 20), 0xBD);
}

TEST(SimulateBinary, UserFunctionsOnTheRight) {
    Simulation sim(40);
    const auto r = sim.run(R"(
module top;
  logic clk = 0;
  logic [7:0] a = 8'd5, b = 8'd10, cnt = 0;
  logic [7:0] next, pair, comb, lit, narrow, defaulted, nested, driven;
  logic [7:0] by_expr = 8'h55, endless = 8'h66, shadowed = 8'h77;
  logic [15:0] wide;
  function [7:0] add1(input [7:0] x);
    add1 = x + 1;
  endfunction
  function [7:0] sum2(input [7:0] x, input [7:0] y = 8'd3);
    sum2 = x + y;
  endfunction
  function [3:0] low_inc(input [7:0] x);
    low_inc = x + 1;
  endfunction
  function [7:0] add2(input [7:0] x);
    add2 = add1(x);
  endfunction
  function [15:0] widen(input [7:0] x, input [7:0] y);
    widen = x * y;
  endfunction
  function [7:0] spin(input [7:0] x);
    spin = spin(x);
  endfunction
  function [7:0] via_local(input [7:0] x);
    logic [7:0] b;
    b = x;
    via_local = b;
  endfunction
  always #5 clk = ~clk;
  always @(posedge clk) cnt <= cnt + 1;
  always @(posedge clk) next <= add1(cnt);
  always @(posedge clk) pair <= sum2(cnt, b);
  always_comb comb = sum2(a, b);
  assign driven = add1(b);
  initial begin
    #12 lit = add1(8'd41);
    narrow = low_inc(8'h0F);
    defaulted = sum2(a);
    nested = add2(a);
    wide = widen(a, 8'd100);
    by_expr = add1(a + b);
    endless = spin(a);
    shadowed = via_local(a);
    #10 a = 8'd20;
  end
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    // Recomputed at every edge from the values before the edge's updates.
    EXPECT_EQ(Simulation::changes("next"), (Changes{{0, 0}, {5, 1}, {15, 2}, {25, 3}, {35, 4}}));
    EXPECT_EQ(Simulation::changes("pair"),
              (Changes{{0, 0}, {5, 10}, {15, 11}, {25, 12}, {35, 13}}));
    EXPECT_EQ(Simulation::changes("comb"), (Changes{{0, 15}, {22, 30}}));
    EXPECT_EQ(Simulation::valueAt("driven", 1), 11);
    expectValues({{"lit", 42},
                  // The function's own 4 bits hold the result.
                  {"narrow", 0},
                  {"defaulted", 8},
                  {"nested", 6},
                  {"wide", 500},
                  // An expression argument is passed by value; a local
                  // shadows the module's signal of its name; a recursive
                  // function is left out and its target keeps its value.
                  {"by_expr", 16},
                  {"endless", 0x66},
                  {"shadowed", 5}},
                 15);
    // The aliases of the formals never outlive the expansions.
    const std::string registry = WexlaCore::instance().getSignalRegistryJSON();
    EXPECT_EQ(registry.find("_func_"), std::string::npos) << registry;
    EXPECT_EQ(registry.find("_fret_"), std::string::npos) << registry;
}

TEST(SimulateBinary, CompoundAssignmentsReadTheirOwnTarget) {
    Simulation sim(40);
    const auto r = sim.run(R"(
module top;
  logic clk = 0;
  always #5 clk = ~clk;
  logic [7:0] a = 0, s = 1, d = 100, k = 3;
  always @(posedge clk) begin
    a += 8'd2;
    s <<= 1;
    d -= k;
  end
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    // Three clocks by 32: a = a + 2, s = s << 1, d = d - k each time.
    expectValues({{"a", 6}, {"s", 8}, {"d", 91}}, 32);
}
