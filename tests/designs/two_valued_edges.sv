// Where a four-valued simulator computes x, two-valued variables hold 0: a
// division or remainder by zero and 0 to a negative power; a write outside
// a vector changes nothing.
`timescale 1ns/1ps
module two_valued_edges;
  bit [7:0] a = 8'd7, zero = 0, q = 0, r = 0, p = 0, w = 8'h11;
  bit signed [7:0] base = 0, minus_one = -1;
  bit [3:0] past = 4'd9;

  initial begin
    q = a / zero;
    r = a % zero;
    p = base ** minus_one;
    w[past] = 1;
    w[past - 3 +: 4] = 4'hF;
    #1 $display("q=%0d r=%0d p=%0d w=%0h", q, r, p, w);
    $finish;
  end
endmodule
