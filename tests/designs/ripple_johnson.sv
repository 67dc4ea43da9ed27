// A ripple counter of toggle flip-flops counts the falling clock edges, and
// a Johnson counter walks through its eight states on the rising edges.
`timescale 1ns/1ps
module ripple_johnson;
  logic clk = 0;
  wire q0, q1, q2;
  wire [2:0] ripple;
  logic [3:0] johnson = 0;
  wire feedback;

  tff b0(.clk(clk), .q(q0));
  tff b1(.clk(q0), .q(q1));
  tff b2(.clk(q1), .q(q2));
  assign ripple = {q2, q1, q0};
  assign feedback = !johnson[3];

  always #5 clk = ~clk;
  always @(posedge clk) johnson <= {johnson[2:0], feedback};

  initial begin
    $monitor("%0t: ripple=%0d johnson=%0h", $time, ripple, johnson);
    #82 $finish;
  end
endmodule

module tff(input logic clk, output logic q);
  initial q = 0;
  always @(negedge clk) q <= ~q;
endmodule
