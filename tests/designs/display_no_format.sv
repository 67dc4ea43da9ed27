// $display and $write without a format string print each argument in
// decimal, right-aligned to the widest value of its type as %d does (this
// padding is SystemVerilog's, not the engine's own "no padding" rule for
// %0d); an empty argument prints one space.
`timescale 1ns/1ps
module display_no_format;
  logic [7:0] a = 8'd5, b = 8'd200;
  logic [15:0] h = 16'd1234;
  logic bit1 = 1;
  logic signed [7:0] s = -8'sd7;
  logic [3:0] nib = 4'd9;

  initial begin
    $display(a, b);
    $display(a,,b);
    $display(h, bit1, nib);
    $display(s);
    $write(a);
    $display(b);
    a = 8'd255;
    $display(a, h);
    $finish;
  end
endmodule
