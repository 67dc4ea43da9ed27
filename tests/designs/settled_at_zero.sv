// Continuous assignment chains, always_comb and always_latch hold their
// settled values from the start, before any input changes.
`timescale 1ns/1ps
module settled_at_zero;
  logic [7:0] a = 3;
  logic en = 1;
  logic [7:0] d = 9, latched = 0, comb = 0;
  wire [7:0] w1, w2, w3;

  assign w1 = a + 1;
  assign w2 = w1 * 2;
  assign w3 = w2 - a;

  always_comb comb = w2 + 1;

  always_latch
    if (en) latched = d;

  initial begin
    #1 $display("w1=%0d w2=%0d w3=%0d comb=%0d latched=%0d", w1, w2, w3, comb, latched);
    en = 0;
    d = 4;
    a = 10;
    #1 $display("w1=%0d w2=%0d w3=%0d comb=%0d latched=%0d", w1, w2, w3, comb, latched);
    en = 1;
    #1 $display("latched=%0d", latched);
    $finish;
  end
endmodule
