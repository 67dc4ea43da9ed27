// Comparisons with the literal on the left, in conditions and assignments.
`timescale 1ns/1ps
module literal_left_compare;
  logic [7:0] v = 9;
  logic [1:0] s = 3;
  logic lt = 0, ge = 0, eq = 0;
  logic [7:0] hits = 0;
  wire w_lt;

  assign w_lt = 8'd5 < v;

  initial begin
    lt = 8'd5 < v;
    ge = 8'd20 >= v;
    eq = 3 == s;
    if (3 == s) hits = hits + 1;
    if (8'd10 > v) hits = hits + 2;
    if (8'd9 != v) hits = hits + 4;
    #1 $display("lt=%0d ge=%0d eq=%0d w_lt=%0d hits=%0d", lt, ge, eq, w_lt, hits);
    v = 2;
    s = 1;
    lt = 8'd5 < v;
    eq = 3 == s;
    #1 $display("lt=%0d eq=%0d w_lt=%0d", lt, eq, w_lt);
    $finish;
  end
endmodule
