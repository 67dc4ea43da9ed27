// A for loop is left out of the model and reported with its line; the rest
// of the design still simulates.
`timescale 1ns/1ps
module left_out_for_loop;
  logic clk = 0;
  logic [7:0] acc = 0, count = 0;
  integer i = 0;

  always #5 clk = ~clk;

  always @(posedge clk) begin
    for (i = 0; i < 9; i = i + 1)
      acc = acc + 1;
  end

  always @(posedge clk) count <= count + 1;

  initial #22 begin
    $display("acc=%0d count=%0d", acc, count);
    $finish;
  end
endmodule
