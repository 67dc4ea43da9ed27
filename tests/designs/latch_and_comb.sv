// always_latch holds its value while the enable is low, and always @* with
// several inputs runs again whenever any one of them changes.
`timescale 1ns/1ps
module latch_and_comb;
  logic en = 0;
  logic [7:0] d = 8'd3, q = 8'd0;
  logic [7:0] a = 1, b = 2, c = 3;
  logic [7:0] y = 0;
  logic [7:0] runs = 0;

  always_latch
    if (en) q <= d + 8'd1;

  always @* begin
    y = (a + b) * c;
    runs = runs + 1;
  end

  initial begin
    #1 $display("q=%0d y=%0d", q, y);
    en = 1;
    #1 $display("q=%0d", q);
    d = 8'd10;
    #1 $display("q=%0d", q);
    en = 0;
    d = 8'd50;
    #1 $display("q=%0d", q);
    a = 4;
    #1 $display("y=%0d runs=%0d", y, runs);
    b = 6;
    #1 $display("y=%0d runs=%0d", y, runs);
    c = 2;
    #1 $display("y=%0d runs=%0d", y, runs);
    a = 5;
    b = 5;
    #1 $display("y=%0d runs=%0d", y, runs);
    $finish;
  end
endmodule
