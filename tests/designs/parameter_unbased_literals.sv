// An untyped parameter whose whole value is an unbased literal ('1, '0)
// is one bit wide, whether the literal is its default or an instance's
// override, and so is a parameter given such a parameter; a typed
// parameter keeps its own width. Overrides of other widths and signs give
// an untyped parameter their type. What is built on such parameters
// (localparams, widths, generate conditions) sees the one-bit value.
`timescale 1ns/1ps
module ul_show #(parameter P = 4'd0, parameter [7:0] T = 0, parameter signed S = 0, parameter T2 = 1);
  localparam L = P + 1;
  logic [P+2:0] wide = 0;
  logic [3:0] y = P;
  logic [7:0] sum = P + P;
  if (P == 1) begin : one
    initial #(T2 * 10 + 5) $display("%m P is one");
  end
  initial begin
    #(T2 * 10);
    $display("%m P: %0d %0b  T: %0d %0b  S: %0d %0d", $bits(P), P, $bits(T), T, $bits(S), S);
    $display("%m L=%0d wide=%0d y=%0d sum=%0d cat=%0d/%0b pp=%0d eq=%0d inv=%0d", L, $bits(wide), y,
             sum, $bits({P, 2'b00}), {P, 2'b00}, P + P, P == 1, ~P);
  end
endmodule

module ul_pass #(parameter A = '1, parameter T2 = 1);
  ul_show #(.P(A), .T2(T2)) inner();
endmodule

// The example as it was found: `1 1`.
module ul_m;
  parameter P = 4'd0;
  initial $display("%0d %b", $bits(P), P);
endmodule

module parameter_unbased_literals;
  ul_m #('1) u();
  parameter ONE = '1;
  parameter ZERO = '0;
  localparam LZ = '0;
  ul_show #(.P('1), .T('1), .S('1), .T2(1)) ones();
  ul_show #(.P('0), .T('0), .S('0), .T2(2)) zeros();
  ul_show #(.P(8'sd9), .T(-1), .S(4'sd3), .T2(3)) sized();
  ul_show #(.P(ONE), .T2(4)) from_one();
  ul_pass #(.T2(5)) passed();
  initial begin
    #60 $display("ONE=%b/%0d ZERO=%b/%0d LZ=%0d", ONE, $bits(ONE), ZERO, $bits(ZERO), $bits(LZ));
    $finish;
  end
endmodule
