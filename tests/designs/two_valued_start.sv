// Every variable starts at 0 (two-valued, like `bit`), so a first write of 0
// is no change: it wakes no @(v), @* or negedge waiter. A write of 1, and
// then of 0, wakes them. (A four-valued `reg` would start at x, and its
// first write of 0 would wake all three.)
`timescale 1ns/1ps
module two_valued_start;
  bit v;
  bit [3:0] n;
  bit [3:0] copy = 4'd9;

  always @(v) $display("%0t: @(v) sees %0d", $time, v);
  always @(negedge v) $display("%0t: negedge v", $time);
  always @* copy = n + 4'd1;

  initial begin
    #1 v = 0;
    n = 0;
    #1 $display("%0t: copy=%0d", $time, copy);
    v = 1;
    n = 4'd3;
    #1 $display("%0t: copy=%0d", $time, copy);
    v = 0;
    #1 $finish;
  end
endmodule
