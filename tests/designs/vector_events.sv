// Event controls on multi-bit signals: posedge of a vector is the rise of
// its least significant bit, a change of a 64-bit signal counts whichever
// bit changes, and an or list wakes on either signal.
`timescale 1ns/1ps
module vector_events;
  logic [7:0] count = 0;
  logic [63:0] wide = 0;
  logic rises = 0, any = 0, listed = 0;

  always @(posedge count) rises <= ~rises;
  always @(wide) any <= ~any;
  always @(count or wide) listed <= ~listed;

  initial begin
    $monitor("%0t: count=%0d rises=%0d any=%0d listed=%0d", $time, count, rises, any, listed);
    #10 count = 1;
    #10 count = 2;
    #10 count = 3;
    #10 wide = 64'h1_0000_0000;
    #10 $finish;
  end
endmodule
