// Delays in initial blocks add up along the block, a nested block starts
// where it is reached, and a statement after a bare event wait runs once on
// that event; times print in the design's precision of 100 ps.
`timescale 1ns/100ps
module initial_delays;
  logic clk = 0;
  logic a = 0, b = 0, c = 0, d = 0, e = 0, go = 0, later = 0;

  always #5 clk = ~clk;

  initial begin
    @(posedge clk);
    go = 1;
    #3;
    later = 1;
  end

  initial begin
    #5 a = 1;
    #5 b = 1;
    begin
      #3 c = 1;
    end
    d = 1;
    #2;
    e = 1;
    #10 a = 0;
  end

  initial begin
    $monitor("%0t: a=%0d b=%0d c=%0d d=%0d e=%0d go=%0d later=%0d", $time, a, b, c, d, e, go, later);
    #40 $finish;
  end
endmodule
