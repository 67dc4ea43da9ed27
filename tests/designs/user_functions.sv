// User functions on the right: recomputed at every clock from the values
// before the clock's updates, in always_comb and assign, with default
// arguments, results cut to the function's width, nested calls, expression
// arguments passed by value, and a local that shadows a module signal.
`timescale 1ns/1ps
module user_functions;
  logic clk = 0;
  logic [7:0] a = 8'd5, b = 8'd10, cnt = 0;
  logic [7:0] next = 0, pair = 0, comb, lit = 0, narrow = 0, defaulted = 0, nested = 0;
  wire [7:0] driven;
  logic [7:0] by_expr = 8'h55, shadowed = 8'h77;
  logic [15:0] wide = 0;

  function [7:0] add1(input [7:0] x);
    add1 = x + 1;
  endfunction
  function [7:0] sum2(input [7:0] x, input [7:0] y = 8'd3);
    sum2 = x + y;
  endfunction
  function [3:0] low_inc(input [7:0] x);
    low_inc = x + 1;
  endfunction
  function [7:0] add2(input [7:0] x);
    add2 = add1(x);
  endfunction
  function [15:0] widen(input [7:0] x, input [7:0] y);
    widen = x * y;
  endfunction
  function [7:0] via_local(input [7:0] x);
    logic [7:0] b;
    b = x;
    via_local = b;
  endfunction

  always #5 clk = ~clk;
  always @(posedge clk) cnt <= cnt + 1;
  always @(posedge clk) next <= add1(cnt);
  always @(posedge clk) pair <= sum2(cnt, b);
  always_comb comb = sum2(a, b);
  assign driven = add1(b);
  always @(negedge clk) $display("%0t: cnt=%0d next=%0d pair=%0d comb=%0d", $time, cnt, next, pair, comb);

  initial begin
    #12 lit = add1(8'd41);
    narrow = low_inc(8'h0F);
    defaulted = sum2(a);
    nested = add2(a);
    wide = widen(a, 8'd100);
    by_expr = add1(a + b);
    shadowed = via_local(a);
    $display("driven=%0d lit=%0d narrow=%0d defaulted=%0d nested=%0d wide=%0d by_expr=%0d shadowed=%0d b=%0d",
             driven, lit, narrow, defaulted, nested, wide, by_expr, shadowed, b);
    #10 a = 8'd20;
    #20 $finish;
  end
endmodule
