// Compound assignments in a clocked block read their own target each time:
// a = a + 2, s = s << 1 and d = d - k at every clock.
`timescale 1ns/1ps
module compound_clocked;
  logic clk = 0;
  logic [7:0] a = 0, s = 1, d = 100, k = 3;
  always #5 clk = ~clk;
  always @(posedge clk) begin
    a += 8'd2;
    s <<= 1;
    d -= k;
  end
  always @(negedge clk) $display("%0t: a=%0d s=%0d d=%0d", $time, a, s, d);
  initial #32 $finish;
endmodule
