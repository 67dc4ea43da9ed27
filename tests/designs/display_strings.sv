// %s prints one character per byte of the value, a zero byte inside as a
// space, and pads to a field width. A plain %s of a value with leading zero
// bytes prints them as spaces in Icarus and not at all in the engine (as
// numbers print without padding), so those are printed with %0s here.
`timescale 1ns/1ps
module display_strings;
  logic [39:0] hi = "Hi";
  logic [23:0] gap = {8'h41, 8'h00, 8'h42};
  logic [15:0] none = 0;
  logic [11:0] odd = 12'h041;
  logic [63:0] full = "abcdefgh";
  logic [7:0] q = "Q";

  initial begin
    $display("[%0s][%8s][%s][%0s]", hi, hi, gap, gap);
    $display("[%0s][%0s][%s][%-4s|][%3s]", none, odd, full, q, q);
    hi = "Hey";
    #1 $display("[%0s][%5s]", hi, hi);
    $finish;
  end
endmodule
