// A literal written into a one-bit target stores its low bit, and comparing
// a one-bit signal with a wider literal compares values.
`timescale 1ns/1ps
module one_bit_literals;
  logic a = 1, b = 0, c = 0;
  logic [7:0] hits = 0;
  wire w;

  assign w = 3;

  initial begin
    a = 2;
    b = 3;
    c = 8'hF0;
    if (a == 2) hits = hits + 1;
    if (b == 1) hits = hits + 10;
    #1;
    $display("a=%0d b=%0d c=%0d w=%0d hits=%0d", a, b, c, w, hits);
    $finish;
  end
endmodule
