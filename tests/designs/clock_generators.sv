// The usual clock generators in always blocks: delays add up inside the body
// and the block starts again after its last statement.
`timescale 1ns/1ps
module clock_generators;
  logic clk_a = 0, clk_b = 0, clk_c = 0;
  logic [7:0] rises_a = 0, rises_b = 0, rises_c = 0;

  always begin
    #5 clk_a = 1;
    #5 clk_a = 0;
  end

  always begin
    clk_b = 0;
    #5;
    clk_b = 1;
    #5;
  end

  always #3 clk_c = ~clk_c;

  always @(posedge clk_a) rises_a <= rises_a + 1;
  always @(posedge clk_b) rises_b <= rises_b + 1;
  always @(posedge clk_c) rises_c <= rises_c + 1;

  initial begin
    #7 $display("t=%0d clocks %0d %0d %0d", $time, clk_a, clk_b, clk_c);
    #6 $display("t=%0d clocks %0d %0d %0d", $time, clk_a, clk_b, clk_c);
    #16 $display("t=%0d clocks %0d %0d %0d", $time, clk_a, clk_b, clk_c);
    #23;
    $display("rises a=%0d b=%0d c=%0d", rises_a, rises_b, rises_c);
    $finish;
  end
endmodule
