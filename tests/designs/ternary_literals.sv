// The conditional operator with a literal in either arm, procedural and
// continuous.
`timescale 1ns/1ps
module ternary_literals;
  logic c = 1;
  logic [7:0] v = 8'd42, y1 = 0, y2 = 0, y3 = 0;
  wire [7:0] w1, w2;

  assign w1 = c ? 8'd1 : v;
  assign w2 = c ? v : 8'd7;

  initial begin
    y1 = c ? 8'd1 : v;
    y2 = c ? v : 8'd7;
    y3 = c ? 8'd11 : 8'd22;
    #1 $display("c=%0d y1=%0d y2=%0d y3=%0d w1=%0d w2=%0d", c, y1, y2, y3, w1, w2);
    c = 0;
    y1 = c ? 8'd1 : v;
    y2 = c ? v : 8'd7;
    y3 = c ? 8'd11 : 8'd22;
    #1 $display("c=%0d y1=%0d y2=%0d y3=%0d w1=%0d w2=%0d", c, y1, y2, y3, w1, w2);
    $finish;
  end
endmodule
