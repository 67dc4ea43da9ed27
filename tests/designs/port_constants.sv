// Input ports tied to constants (a literal, a sized literal, a parameter)
// hold those values from the start.
`timescale 1ns/1ps
module port_constants;
  parameter logic [7:0] STEP = 8'd3;
  logic clk = 0;
  wire [7:0] count_a, count_b;

  always #5 clk = ~clk;

  stepper a(.clk(clk), .en(1'b1), .step(STEP), .count(count_a));
  stepper b(.clk(clk), .en(1), .step(8'd10), .count(count_b));

  initial begin
    #32 $display("count_a=%0d count_b=%0d", count_a, count_b);
    $finish;
  end
endmodule

module stepper(input clk, input en, input [7:0] step, output logic [7:0] count = 0);
  always @(posedge clk)
    if (en) count <= count + step;
endmodule
