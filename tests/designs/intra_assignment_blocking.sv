// Blocking assignments with a timing control inside: `a = #3 b` and
// `a = @(posedge c) b` compute the right side when the statement runs, wait,
// then write; the value written is the one computed before the wait, while
// an index in the target is taken when the write happens. Targets may be
// vectors, selects and concatenations; the event may be a list.
`timescale 1ns/1ns
module intra_assignment_blocking;
  bit clk = 0, rst = 1;
  bit [7:0] b = 8'd10, a = 0, v = 0;
  bit [3:0] hi = 0, lo = 0;
  bit [2:0] i = 0;
  bit [7:0] y = 0;

  always #5 clk = ~clk;

  initial begin
    a = #3 b + 1;
    $display("%0t a=%0d", $time, a);
    v[i] = #2 1'b1;           // i becomes 4 during the wait
    $display("%0t v=%0d", $time, v);
    {hi, lo} = #1 {b[3:0], 4'd9};
    $display("%0t hi=%0d lo=%0d", $time, hi, lo);
    a = @(posedge clk) b;     // b is 15 now, 20 by the edge
    $display("%0t a=%0d", $time, a);
    a = @(posedge clk or negedge rst) b + 2;
    $display("%0t a=%0d", $time, a);
    a = #0 a + 1;
    $display("%0t a=%0d", $time, a);
  end

  initial begin
    #1 b = 8'd15;
    #1 i = 3'd4;
    #5 b = 8'd20;
    #5 b = 8'd30;
    #5 rst = 0;
    #1 b = 8'd40;
  end

  // While it waits the block misses the edges in between.
  always @(posedge clk) y = #7 y + 1;
  always @(y) $display("%0t y=%0d", $time, y);

  initial #40 $finish;
endmodule
