`timescale 1ns/1ps
// A 4-bit ripple counter built from toggle flip-flops, and the testbench
// that clocks it.
module tff(input logic clk, output logic q);
  always @(negedge clk) q <= ~q;
endmodule

module ripple4(input logic clk, output logic [3:0] count);
  logic q0, q1, q2, q3;
  tff bit0(.clk(clk), .q(q0));
  tff bit1(.clk(q0), .q(q1));
  tff bit2(.clk(q1), .q(q2));
  tff bit3(.clk(q2), .q(q3));
  assign count = {q3, q2, q1, q0};
endmodule

module top;
  logic clk = 0;
  logic [3:0] count;
  ripple4 counter(.clk(clk), .count(count));
  always #5 clk = ~clk;
  always @(posedge clk) $display("t=%0t count=%0d", $time, count);
  initial #200 $finish;
  // After 15 the counter wraps to 0 on the next clock.
  wraps: assert property (@(posedge clk) count == 4'd15 |=> count == 4'd0);
endmodule
