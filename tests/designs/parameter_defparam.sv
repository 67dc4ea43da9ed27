// Parameters set from outside their module: defparam (also down a
// hierarchy, over an instance's own override, and from inside another
// module), the localparams and widths built on them, and values computed
// by a constant function of the design, in an override or a defparam.
`timescale 1ns/1ps
module dp_leaf;
  parameter T = 1;
  parameter P = 12;
  parameter W = 4;
  localparam L = P * 2 + W;
  logic [P-1:0] bus = '1;
  logic [W-1:0] narrow = '1;
  initial #T $display("%m P=%0d W=%0d L=%0d bus=%0d narrow=%0d", P, W, L, bus, narrow);
endmodule

module dp_mid;
  parameter T = 1;
  dp_leaf #(.T(T)) inner();
  defparam inner.W = 6;
endmodule

module dp_signed;
  parameter T = 1;
  parameter signed [15:0] S = 0;
  localparam signed [15:0] HALF = S / 2;
  initial #T $display("%m S=%0d HALF=%0d below zero=%0d", S, HALF, S < 0);
endmodule

module parameter_defparam;
  function automatic signed [7:0] negate(input signed [7:0] v);
    logic signed [7:0] t;
    {t} = -v;
    return t;
  endfunction

  dp_leaf #(.T(1)) a();
  dp_leaf #(.T(2)) b();
  dp_leaf #(.T(3), .P(20)) c();
  dp_mid #(.T(4)) m();
  dp_mid #(.T(5)) m2();
  dp_signed #(.T(6), .S(negate(8'sd6))) s1();
  dp_signed #(.T(7)) s2();

  defparam a.P = 5;
  defparam b.P = 9, b.W = 2;
  defparam c.P = 7;
  defparam m2.inner.P = 3;
  defparam s2.S = negate(8'sd10);

  initial #8 $finish;
endmodule
