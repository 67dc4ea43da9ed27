// Signed arithmetic inside larger expressions: sign extension of narrower
// signed operands, $signed and $unsigned around subexpressions, arithmetic
// shifts, signed division and remainder, and comparisons that turn unsigned
// as soon as one operand is.
`timescale 1ns/1ps
module signed_expressions;
  logic signed [7:0] s = -8'sd20, r = 8'sd6;
  logic signed [3:0] q = -4'sd2;
  logic [7:0] u = 8'd10;
  logic signed [15:0] w1, w2, w3, w4, w5;
  logic [15:0] v1, v2;
  logic signed [7:0] d1, d2, d3;
  logic c1, c2, c3, c4;

  initial begin
    w1 = s + q;
    w2 = s * r + q;
    w3 = (s >>> 2) + q * 3;
    w4 = $signed(u) - s * 2;
    w5 = -s / 3 + (r % -4);
    v1 = s + u;
    v2 = $unsigned(s) + q;
    d1 = s / r;
    d2 = s % r;
    d3 = (s + r) >>> 1;
    c1 = s < r;
    c2 = s < u;
    c3 = $signed(u) > s;
    c4 = s + q < -21;
    $display("w1=%0d w2=%0d w3=%0d w4=%0d w5=%0d", w1, w2, w3, w4, w5);
    $display("v1=%0d v2=%0d", v1, v2);
    $display("d1=%0d d2=%0d d3=%0d", d1, d2, d3);
    $display("c1=%0d c2=%0d c3=%0d c4=%0d", c1, c2, c3, c4);
    $display("inline %0d %0d %0d", s * q, $signed(s * q), s - r - q);
    $finish;
  end
endmodule
