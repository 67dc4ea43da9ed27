// case on an expression, case items that are expressions of signals, and
// case (1'b1) choosing the first condition that holds.
`timescale 1ns/1ps
module case_expressions;
  logic [3:0] a = 4'd3, b = 4'd5;
  logic [7:0] r1, r2, r3;

  task evaluate;
    case (a + b)
      5'd8: r1 = 8'd1;
      5'd16, 5'd17: r1 = 8'd2;
      {1'b0, b} + 5'd1: r1 = 8'd3;
      default: r1 = 8'd9;
    endcase
    case (a ^ b)
      b - a: r2 = 8'd10;
      a << 1: r2 = 8'd20;
      default: r2 = a & b;
    endcase
    case (1'b1)
      a > b: r3 = 8'd100;
      a == b: r3 = 8'd101;
      a + 4'd1 == b: r3 = 8'd102;
      default: r3 = 8'd103;
    endcase
    $display("a=%0d b=%0d r1=%0d r2=%0d r3=%0d", a, b, r1, r2, r3);
  endtask

  initial begin
    evaluate;
    a = 4'd9; b = 4'd8;
    evaluate;
    a = 4'd1; b = 4'd0;
    evaluate;
    a = 4'd4; b = 4'd5;
    evaluate;
    a = 4'd6; b = 4'd6;
    evaluate;
    $finish;
  end
endmodule
