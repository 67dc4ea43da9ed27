// Right sides and operands made only of literals and parameters are values:
// sums, concatenations, shifts, replications, string literals and constant
// case items.
`timescale 1ns/1ps
module constants;
  parameter P = 3;
  localparam logic [7:0] Q = 8'd40;
  logic [7:0] a = 0, b = 0, c = 0, e = 0, f = 0, k = 0, m = 0;
  logic [15:0] s = 0;
  wire [7:0] w_sum = Q + 2;
  wire [7:0] w_cat;

  assign w_cat = {4'd3, 4'd9};

  initial begin
    a = 7 + 1;
    b = {4'b0101, 4'b1010};
    c = 8'd200 >> 3;
    e = 1'b1 << P;
    f = {P{1'b1}};
    s = "AB";
    k = Q - P;
    case (2)
      1 + 1: m = 8'd22;
      default: m = 8'd99;
    endcase
    $display("a=%0d b=%0h c=%0d e=%0d f=%0d", a, b, c, e, f);
    $display("s=%0h k=%0d m=%0d", s, k, m);
    #1 $display("w_sum=%0d w_cat=%0h", w_sum, w_cat);
    $finish;
  end
endmodule
