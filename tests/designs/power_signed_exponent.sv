// A signed exponent keeps its own width and sign: a negative one leaves 0
// for bases above 1 and 1 or -1 for the bases 1 and -1, also when the
// result is wider than the exponent.
`timescale 1ns/1ps
module power_signed_exponent;
  logic [7:0] base = 156;
  logic [7:0] three = 3;
  logic signed [4:0] e = -2;
  logic signed [3:0] odd = -3;
  logic signed [7:0] minus_one = -1;
  logic [63:0] wide = 0;
  logic signed [15:0] s = 0;
  wire [31:0] w;

  assign w = three ** e;

  initial begin
    wide = base ** e;
    s = three ** odd;
    #1 $display("wide=%0d s=%0d w=%0d", wide, s, w);
    s = minus_one ** odd;
    #1 $display("s=%0d one=%0d", s, 8'd1 ** e);
    s = minus_one ** e;
    e = 2;
    #1 $display("s=%0d w=%0d", s, w);
    $finish;
  end
endmodule
