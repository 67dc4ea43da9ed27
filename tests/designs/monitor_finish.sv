// $monitor prints at the end of each time step in which a watched value
// changed, by a blocking or a non-blocking write, but not for $time alone;
// $finish ends the run at once, before the statement after it.
`timescale 1ns/1ps
module monitor_finish;
  logic clk = 0;
  logic [7:0] d = 0, q = 0;
  logic flag = 0;

  always #5 clk = ~clk;
  always @(posedge clk) q <= d;

  initial begin
    $monitor("t=%0t q=%0d d=%0d lit=%0d flag=%0d", $time, q, d, 4, flag);
    #12 d = 8'd3;
    #10 d = 8'd7;
    #10 flag = 1;
  end

  always @(negedge clk) $display("tick %0t", $time);

  initial begin
    #42 $display("bye at %0t", $time);
    $finish;
    #1 $display("not reached");
  end
endmodule
