// A final block runs once, when $finish ends the simulation, and sees the
// values of that moment.
`timescale 1ns/1ps
module final_block;
  logic clk = 0;
  logic [7:0] count = 0;

  always #5 clk = ~clk;
  always @(posedge clk) count <= count + 1;

  initial begin
    #23 $display("t=%0d count=%0d", $time, count);
    #20 $finish;
  end

  final $display("final: t=%0d count=%0d", $time, count);
endmodule
