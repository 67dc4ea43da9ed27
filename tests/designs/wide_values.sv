// 64-bit values in expressions: products and sums that carry past 32 bits,
// shifts across the 32-bit boundary, signed 64-bit comparisons and
// concatenations of two 32-bit halves.
`timescale 1ns/1ps
module wide_values;
  logic [31:0] hi = 32'hDEAD_BEEF, lo = 32'h0123_4567;
  logic [63:0] w, p, s;
  logic signed [63:0] sa = -64'sd5, sb = 64'sd3;
  logic [47:0] mid;
  logic less, uless;

  initial begin
    w = {hi, lo};
    p = hi * lo;
    s = {32'd0, hi} + lo + (w >> 36);
    mid = w[55:8] ^ {lo, hi[15:0]};
    less = sa < sb;
    uless = $unsigned(sa) < sb;
    $display("w=%0h", w);
    $display("p=%0h", p);
    $display("s=%0h mid=%0h", s, mid);
    $display("less=%0d uless=%0d prod=%0d", less, uless, sa * sb);
    w = (w << 28) | (w >> 36);
    $display("rot=%0h top=%0h", w, w[63:60]);
    p = 64'hFFFF_FFFF_FFFF_FFFF + 64'd2;
    $display("wrap=%0d", p);
    $finish;
  end
endmodule
