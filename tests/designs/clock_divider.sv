// A divide-by-four clock with a bounded stimulus clock: the run ends when
// the last event has happened, without $finish.
`timescale 1ns/1ps
module clock_divider;
  logic clk = 0;
  logic [1:0] div = 0;
  logic slow = 0;
  logic [7:0] ticks = 0;

  always @(posedge clk) begin
    div <= div + 1;
    if (div == 3) slow <= ~slow;
  end

  always @(posedge slow) $display("t=%0d slow rose, ticks=%0d", $time, ticks);

  initial begin
    #5 clk = 1; #5 clk = 0; ticks = ticks + 1;
    #5 clk = 1; #5 clk = 0; ticks = ticks + 1;
    #5 clk = 1; #5 clk = 0; ticks = ticks + 1;
    #5 clk = 1; #5 clk = 0; ticks = ticks + 1;
    #5 clk = 1; #5 clk = 0; ticks = ticks + 1;
    #5 clk = 1; #5 clk = 0; ticks = ticks + 1;
    #5 clk = 1; #5 clk = 0; ticks = ticks + 1;
    #5 clk = 1; #5 clk = 0; ticks = ticks + 1;
    #5 clk = 1; #5 clk = 0; ticks = ticks + 1;
    $display("t=%0d done, ticks=%0d", $time, ticks);
  end
endmodule
