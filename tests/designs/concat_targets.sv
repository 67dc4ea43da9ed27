// Concatenations as assignment targets: a carry and a sum split from one
// addition, selects inside the target, non-blocking and continuous forms.
`timescale 1ns/1ps
module concat_targets;
  logic clk = 0;
  logic [7:0] a = 8'd200, b = 8'd100;
  logic c;
  logic [7:0] s;
  logic [3:0] hi, lo;
  logic [7:0] v = 8'h00;
  logic [1:0] top2;
  logic [5:0] rest;
  logic nc;
  logic [7:0] ns;
  logic [3:0] x = 4'd9, y = 4'd8;
  logic ci = 1;
  wire co;
  wire [3:0] sum;
  assign {co, sum} = x + y + ci;

  always #5 clk = ~clk;
  always @(posedge clk) {nc, ns} <= a + b + 8'd1;

  initial begin
    {c, s} = a + b;
    $display("c=%0d s=%0d", c, s);
    {hi, lo} = a;
    $display("hi=%0h lo=%0h", hi, lo);
    {v[7:4], v[1:0]} = 6'b1011_10;
    $display("v=%0h", v);
    {top2, rest} = {a[1:0], b[7:2]} ^ 8'hFF;
    $display("top2=%0d rest=%0d", top2, rest);
    {c, s} = {1'b0, a} - b;
    $display("c=%0d s=%0d", c, s);
    #1 $display("co=%0d sum=%0d", co, sum);
    x = 4'd3;
    #1 $display("co=%0d sum=%0d", co, sum);
    #6 $display("nc=%0d ns=%0d", nc, ns);
    a = 8'd1;
    #10 $display("nc=%0d ns=%0d", nc, ns);
    $finish;
  end
endmodule
