// A continuous assignment with a delay follows its input that many units
// later.
`timescale 1ns/1ps
module assign_delay;
  logic [7:0] a = 0;
  wire [7:0] y;

  assign #10 y = a;

  always @(y) $display("t=%0d y=%0d", $time, y);

  initial begin
    #5 a = 3;
    #20 a = 7;
    #30 a = 9;
    #30 $finish;
  end
endmodule
