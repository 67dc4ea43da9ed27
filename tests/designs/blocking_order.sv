// Blocking assignments take effect at once inside a process; non-blocking
// ones land after every process of the edge has read the old values.
`timescale 1ns/1ps
module blocking_order;
  logic clk = 0;
  logic [7:0] a = 1, b = 2, c = 3;
  logic [7:0] p = 1, q = 2, r = 3;

  always #5 clk = ~clk;

  always @(posedge clk) begin
    a = b;
    b = c;
    c = a;
  end

  always @(posedge clk) begin
    p <= q;
    q <= r;
    r <= p;
  end

  always @(negedge clk) $display("t=%0d blocking %0d %0d %0d non-blocking %0d %0d %0d", $time, a, b, c, p, q, r);

  initial #26 $finish;
endmodule
