// A $monitor starts watching when it runs (nothing prints before), prints
// once for the step it starts in, and the latest one replaces the earlier;
// a $monitor behind a false condition never starts.
`timescale 1ns/1ps
module monitor_latest;
  logic [7:0] a = 0, b = 0;
  logic go = 0;

  initial begin
    #3 a = 1;
    #4 a = 2;
    #3 a = 3;
    #3 a = 4;
    #2 b = 4;
    #5 go = 1;
    #2 a = 5;
    #3 b = 6;
  end

  initial #10 $monitor("t=%0t a=%0d", $time, a);
  initial #5 if (a > 100) $monitor("never t=%0t", $time);
  always @(posedge go) $monitor("go t=%0t b=%0d", $time, b);
  initial #30 $finish;
endmodule
