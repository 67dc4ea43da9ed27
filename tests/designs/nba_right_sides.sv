// Non-blocking right sides are read when the statement runs, before any
// non-blocking update of the same edge lands, whatever the operator.
`timescale 1ns/1ps
module nba_right_sides;
  logic clk = 0;
  logic x = 0, y = 0;
  logic [7:0] c = 1, d = 0, e = 0;

  always #5 clk = ~clk;

  always @(posedge clk) y <= ~y;
  always @(posedge clk) x <= ~y;
  always @(posedge clk) c <= c + 1;
  always @(posedge clk) d <= c * 2;
  always @(posedge clk) e <= c;

  always @(negedge clk) $display("t=%0d x=%0d y=%0d c=%0d d=%0d e=%0d", $time, x, y, c, d, e);

  initial #36 $finish;
endmodule
