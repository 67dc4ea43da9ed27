// Results follow their operands: a statement under an event list runs for
// either event, combinational blocks follow at once, and each instance's
// function reads its own port.
`timescale 1ns/1ps
module results_follow_operands;
  logic c1 = 0, c2 = 0;
  logic [7:0] a = 8'h3C, b = 8'h3F;
  logic [7:0] both = 0, sum = 0, shifted = 0, combo, inc = 0;
  wire [7:0] aout, bout;

  function [7:0] add1(input [7:0] x);
    add1 = x + 1;
  endfunction

  scaler u1(.din(a), .dout(aout));
  scaler u2(.din(b), .dout(bout));
  always @(posedge c1 or posedge c2) both <= a & b;
  always @(posedge c1 or posedge c2) sum <= a + b;
  always @(posedge c1 or posedge c2) shifted <= a >> 2;
  always @(posedge c1 or posedge c2) inc <= add1(a);
  always_comb combo = a ^ b;

  initial begin
    $monitor("%0t: both=%0h sum=%0h shifted=%0h inc=%0h combo=%0h aout=%0h bout=%0h", $time, both, sum,
             shifted, inc, combo, aout, bout);
    #10 c2 = 1;
    #5 a = 8'hF0;
    #5 c1 = 1;
    #5 $finish;
  end
endmodule

module scaler(input logic [7:0] din, output logic [7:0] dout);
  function [7:0] triple(input [7:0] x);
    triple = x * 3;
  endfunction
  always_comb dout = triple(din);
endmodule
