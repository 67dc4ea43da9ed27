// Net declaration assignments behave like the same assign: comparisons,
// constants, expressions and an output port declared with an expression.
`timescale 1ns/1ps
module net_initialisers;
  logic [7:0] a = 8'd7, b = 8'd3;
  wire w = a > b;
  wire k = 1'b1;
  wire [7:0] sum = a + b;
  wire [7:0] doubled;

  doubler u(.x(a), .y(doubled));

  initial begin
    #1 $display("w=%0d k=%0d sum=%0d doubled=%0d", w, k, sum, doubled);
    b = 8'd9;
    a = 8'd4;
    #1 $display("w=%0d k=%0d sum=%0d doubled=%0d", w, k, sum, doubled);
    $finish;
  end
endmodule

module doubler(x, y);
  input [7:0] x;
  output [7:0] y;
  wire [7:0] y = x * 2;
endmodule
