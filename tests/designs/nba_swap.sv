// Two processes swap values through expressions with non-blocking
// assignments; each reads the other's value from before the edge.
`timescale 1ns/1ps
module nba_swap;
  logic clk = 0;
  logic [7:0] a = 10, b = 20, p = 1, q = 2, m = 5, n = 3;

  always #5 clk = ~clk;

  always @(posedge clk) a <= b + 1;
  always @(posedge clk) b <= a + 1;

  always @(posedge clk) n <= m * 2;
  always @(posedge clk) m <= n - 1;

  always @(posedge clk) begin
    p <= q;
    q <= p;
  end

  always @(negedge clk) $display("t=%0d a=%0d b=%0d m=%0d n=%0d p=%0d q=%0d", $time, a, b, m, n, p, q);

  initial #36 $finish;
endmodule
