// An event control followed by a delay waits for both and reads its right
// side when the delay ends.
`timescale 1ns/1ps
module event_then_delay;
  logic clk = 0;
  logic [7:0] a = 0, d = 0, d2 = 0;

  always #5 clk = ~clk;

  always @(posedge clk) #3 d <= a;
  always @(a) #5 d2 <= a;

  initial begin
    #6 a = 1;
    #1 a = 2;
    #9 a = 3;
    #20 a = 4;
  end

  always @(d) $display("t=%0d d=%0d", $time, d);
  always @(d2) $display("t=%0d d2=%0d", $time, d2);

  initial #60 $finish;
endmodule
