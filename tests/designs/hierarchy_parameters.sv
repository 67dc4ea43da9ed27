// Several instances of one module with different parameter values, wired
// in a chain, each keeping its own state.
`timescale 1ns/1ps
module hierarchy_parameters;
  logic clk = 0;
  wire [7:0] c1, c2, c3;

  always #5 clk = ~clk;

  accumulator #(.STEP(1)) a1(.clk(clk), .total(c1));
  accumulator #(.STEP(5)) a2(.clk(clk), .total(c2));
  accumulator a3(.clk(clk), .total(c3));

  initial begin
    #42 $display("c1=%0d c2=%0d c3=%0d", c1, c2, c3);
    $finish;
  end
endmodule

module accumulator #(parameter logic [7:0] STEP = 8'd2) (input clk, output logic [7:0] total = 0);
  always @(posedge clk) total <= total + STEP;
endmodule
