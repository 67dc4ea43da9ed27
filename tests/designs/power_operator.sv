// The power operator with a signal operand.
`timescale 1ns/1ps
module power_operator;
  logic [7:0] base = 3, e = 4;
  logic [15:0] p1 = 0, p2 = 0, p3 = 0;
  wire [15:0] w;

  assign w = base ** e;

  initial begin
    p1 = base ** e;
    p2 = 2 ** e;
    p3 = base ** 2;
    #1 $display("p1=%0d p2=%0d p3=%0d w=%0d", p1, p2, p3, w);
    e = 6;
    #1 $display("w=%0d", w);
    $finish;
  end
endmodule
