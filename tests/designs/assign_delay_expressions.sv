// Continuous assignments with delays on expressions: the result follows its
// operands that many units later, chains add their delays, and a change
// that is undone within the delay never shows.
`timescale 1ns/1ps
module assign_delay_expressions;
  logic [7:0] a = 8'd1, b = 8'd2;
  wire [7:0] sum, doubled;
  wire big;
  assign #3 sum = a + b;
  assign #2 doubled = sum << 1;
  assign #1 big = a > b;

  initial begin
    #6 $monitor("%0t: sum=%0d doubled=%0d big=%0d", $time, sum, doubled, big);
    #4 a = 8'd10;
    #10 b = 8'd20;
    #1 b = 8'd2;
    #10 a = 8'd0;
    #10 $finish;
  end
endmodule
