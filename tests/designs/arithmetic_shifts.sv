// Arithmetic and shifts of signals and constants: wrap-around in the
// target's width, sign extension of signed operands, signed only when both
// operands are, and logical and arithmetic shifts by constants, parameters
// and signals.
`timescale 1ns/1ps
module arithmetic_shifts;
  parameter STEP = 3, N = 1;
  logic [7:0] sh = 8'b1001_0110, n = 8'd2;
  logic signed [7:0] sneg = -8'sd16;
  logic signed [63:0] s64 = -64'sd5;
  logic [7:0] left2 = 0, right3 = 0, arith_signed = 0, arith_unsigned = 0, arith_cast = 0;
  logic [7:0] by_param = 0, by_70 = 0, by_variable = 8'h55;
  logic [15:0] arith_wide = 0;
  logic [63:0] sign_only = 0;
  logic [7:0] a = 8'd200, b = 8'd100, ff = 8'hFF, fe = 8'hFE;
  logic signed [7:0] sa = -8'sd6, sb = 8'sd4;
  logic [7:0] sum = 0, diff = 0, prod = 0, quo = 0, rem = 0, k_minus = 0, minus_k = 0;
  logic [7:0] times_k = 0, ssub = 0, plus_param = 0;
  logic [15:0] wide_sum = 0, sdiv = 0, smul = 0, both_signed = 0, ssum_of_unsigned = 0;
  logic signed [7:0] s = -8'sd3;
  logic [7:0] u = 8'd1;
  logic [15:0] mixed = 0, cast_unsigned = 0, both = 0, shifted = 0, cast_shifted = 0, minus_literal = 0;

  initial begin
    sum = a + b;
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
    $display("sum=%0d diff=%0d prod=%0d quo=%0d rem=%0d k_minus=%0d minus_k=%0d times_k=%0d",
             sum, diff, prod, quo, rem, k_minus, minus_k, times_k);
    $display("ssub=%0d plus_param=%0d wide_sum=%0d sdiv=%0h smul=%0h both_signed=%0h ssum_of_unsigned=%0h",
             ssub, plus_param, wide_sum, sdiv, smul, both_signed, ssum_of_unsigned);
    $display("mixed=%0d cast_unsigned=%0d both=%0h shifted=%0h cast_shifted=%0d minus_literal=%0h",
             mixed, cast_unsigned, both, shifted, cast_shifted, minus_literal);
    $display("left2=%0h right3=%0h arith_signed=%0h arith_unsigned=%0h arith_cast=%0h",
             left2, right3, arith_signed, arith_unsigned, arith_cast);
    $display("by_param=%0h by_70=%0h by_variable=%0h arith_wide=%0h sign_only=%0h",
             by_param, by_70, by_variable, arith_wide, sign_only);
    $finish;
  end
endmodule
