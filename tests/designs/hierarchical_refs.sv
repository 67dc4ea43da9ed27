// Hierarchical references read from the testbench into displays,
// conditions and continuous assignments, and written into a lower
// instance's variable.
`timescale 1ns/1ps
module hierarchical_refs;
  logic clk = 0;
  logic [7:0] seen;
  wire [7:0] sum_of_counts = u_a.count + u_b.u_inner.count;

  always #5 clk = ~clk;
  pair u_a(.clk(clk));
  outer u_b(.clk(clk));

  always @(negedge clk) seen <= u_a.count * 2;

  initial begin
    #12 $display("a=%0d inner=%0d sum=%0d seen=%0d", u_a.count, u_b.u_inner.count, sum_of_counts, seen);
    u_b.u_inner.step = 8'd10;
    #20 $display("a=%0d inner=%0d sum=%0d seen=%0d", u_a.count, u_b.u_inner.count, sum_of_counts, seen);
    if (u_b.u_inner.count > u_a.count + 8'd10) $display("inner is ahead by %0d", u_b.u_inner.count - u_a.count);
    $display("limit=%0d", u_b.LIMIT);
    $finish;
  end
endmodule

module pair(input logic clk);
  logic [7:0] count = 0;
  logic [7:0] step = 1;
  always @(posedge clk) count <= count + step;
endmodule

module outer(input logic clk);
  localparam int LIMIT = 42;
  pair u_inner(.clk(clk));
endmodule
