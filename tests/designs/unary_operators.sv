// Unary minus of a signal, logical not of a vector, bitwise not and the
// reduction operators.
`timescale 1ns/1ps
module unary_operators;
  logic [7:0] a = 8'd3, y = 0, inv = 0;
  logic signed [7:0] sa = 8'sd5, sy = 0;
  logic nz = 0, zr = 0, all1 = 0, any1 = 0, par = 0;
  wire [7:0] w_neg;
  wire w_not;

  assign w_neg = -a;
  assign w_not = !a;

  initial begin
    y = -a;
    sy = -sa;
    inv = ~a;
    nz = !a;
    all1 = &a;
    any1 = |a;
    par = ^a;
    #1 $display("y=%0d sy=%0d inv=%0d nz=%0d w_neg=%0d w_not=%0d", y, sy, inv, nz, w_neg, w_not);
    $display("all1=%0d any1=%0d par=%0d", all1, any1, par);
    a = 0;
    zr = !a;
    all1 = &a;
    any1 = |a;
    #1 $display("zr=%0d w_not=%0d all1=%0d any1=%0d", zr, w_not, all1, any1);
    $finish;
  end
endmodule
