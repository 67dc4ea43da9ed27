// Compound assignments with mixed widths and with selects and indexed
// selects as targets, one after another in one process.
`timescale 1ns/1ps
module compound_selects;
  logic [7:0] a = 8'd250, b = 8'd3;
  logic [15:0] w = 16'h00FF;
  logic [3:0] n = 4'd9;
  logic [2:0] i = 3'd2;
  logic signed [7:0] s = -8'sd7;

  initial begin
    a += b * 2;
    $display("a=%0d", a);
    a -= n + 4'd8;
    $display("a=%0d", a);
    w[11:4] += a;
    $display("w=%0h", w);
    w[i*4 +: 4] ^= 4'hF;
    $display("w=%0h", w);
    n <<= b - 8'd1;
    $display("n=%0d", n);
    b |= a & 8'h0C;
    $display("b=%0d", b);
    s >>>= 1;
    $display("s=%0d", s);
    s *= -3;
    $display("s=%0d", s);
    a[i] &= 1'b0;
    a[7 -: 2] |= 2'b10;
    $display("a=%0h", a);
    w %= a + 1;
    $display("w=%0d", w);
    $finish;
  end
endmodule
