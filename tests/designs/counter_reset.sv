// A clocked counter with synchronous reset and enable, checked by a
// self-checking testbench that samples away from the clock edges.
`timescale 1ns/1ps
module counter_reset;
  logic clk = 0, rst = 1, en = 0;
  wire [3:0] count;
  logic [7:0] errors = 0;

  counter4 dut(.clk(clk), .rst(rst), .en(en), .count(count));

  always #5 clk = ~clk;

  initial begin
    #12 $display("after reset: count=%0d", count);
    rst = 0;
    en = 1;
    #40 $display("after 4 clocks: count=%0d", count);
    if (count != 4) errors = errors + 1;
    en = 0;
    #20 $display("held: count=%0d", count);
    if (count != 4) errors = errors + 1;
    en = 1;
    #130 $display("wrapped: count=%0d", count);
    if (count != 1) errors = errors + 1;
    rst = 1;
    #10 $display("reset again: count=%0d errors=%0d", count, errors);
    $finish;
  end
endmodule

module counter4(input clk, input rst, input en, output logic [3:0] count = 0);
  always_ff @(posedge clk)
    if (rst) count <= 0;
    else if (en) count <= count + 1;
endmodule
