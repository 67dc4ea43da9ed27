// Bitwise, logical and comparison operators on bytes, and the power
// operator with signal operands, signed negative exponents and a 64-bit
// result.
`timescale 1ns/1ps
module bitwise_logical_power;
  logic [7:0] a = 8'hC3, b = 8'h0F, two = 8'd2, one = 8'd1, zero = 8'd0;
  logic signed [7:0] minus1 = -8'sd1, plus1 = 8'sd1, minus3 = -8'sd3, stwo = 8'sd2;
  logic [63:0] three = 3, forty_one = 41;
  logic [7:0] and_v = 0, or_v = 0, xor_v = 0, xnor_v = 0, land = 0, lor = 0, land0 = 0, lor0 = 0;
  logic [7:0] eq = 0, ne = 0, lt = 0, ge = 0, gt = 0, le = 0, slt = 0, ult = 0, mixed = 0;
  logic [7:0] pow8 = 0, pow_m1 = 0, pow_2 = 0;
  logic [63:0] pow64 = 0;
  logic [7:0] not_bitwise = 8'h77;

  initial begin
    and_v = a & b;
    or_v = a | b;
    xor_v = a ^ b;
    xnor_v = a ~^ b;
    land = two && one;
    lor = two || one;
    land0 = two && zero;
    lor0 = zero || zero;
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
    $display("and=%0h or=%0h xor=%0h xnor=%0h land=%0d lor=%0d land0=%0d lor0=%0d",
             and_v, or_v, xor_v, xnor_v, land, lor, land0, lor0);
    $display("eq=%0d ne=%0d lt=%0d ge=%0d gt=%0d le=%0d slt=%0d ult=%0d mixed=%0d",
             eq, ne, lt, ge, gt, le, slt, ult, mixed);
    $display("pow8=%0d pow64=%0d pow_m1=%0h pow_2=%0d not_bitwise=%0h", pow8, pow64, pow_m1, pow_2, not_bitwise);
    $finish;
  end
endmodule
