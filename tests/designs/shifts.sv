// Shifts by an amount held in a signal, arithmetic shifts of signed values,
// and a signed literal shift amount.
`timescale 1ns/1ps
module shifts;
  logic [7:0] a = 8'b0001_0110;
  logic signed [7:0] sa = -8'sd64;
  logic [2:0] s = 2;
  logic [7:0] l = 0, r = 0, lit = 0, ar_u = 0;
  logic signed [7:0] ar = 0;
  wire [7:0] w_l, w_r;

  assign w_l = a << s;
  assign w_r = a >> s;

  initial begin
    l = a << s;
    r = a >> s;
    ar = sa >>> s;
    ar_u = a >>> s;
    lit = a << 2'sd1;
    #1 $display("l=%0d r=%0d ar=%0d ar_u=%0d lit=%0d w_l=%0d w_r=%0d", l, r, ar, ar_u, lit, w_l, w_r);
    s = 5;
    l = a << s;
    ar = sa >>> s;
    #1 $display("l=%0d ar=%0d w_l=%0d w_r=%0d", l, ar, w_l, w_r);
    $finish;
  end
endmodule
