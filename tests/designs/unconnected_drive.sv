// `unconnected_drive pull1 pulls every unconnected input port of the
// modules it covers to ones (each bit of a vector), whether the port is
// left empty or left out of the connections; connected inputs read what
// drives them. pull0 pulls to zeros, and `nounconnected_drive ends the
// region.
`timescale 1ns/1ps
`unconnected_drive pull1
module ud_up(input a, input [3:0] b, input c, output y);
  assign y = a & c;
  initial #1 $display("%m a=%0d b=%0d c=%0d", a, b, c);
endmodule
`nounconnected_drive

`unconnected_drive pull0
module ud_down(input a, input [3:0] b);
  initial #2 $display("%m a=%0d b=%0d", a, b);
endmodule
`nounconnected_drive

module ud_plain(input a);
  initial #3 $display("%m a=%0d", a);
endmodule

module unconnected_drive;
  logic zero = 0;
  logic one = 1;
  wire y1, y2;
  ud_up u1(.a(), .c(one), .y(y1));
  ud_up u2(.b(4'd5), .c(zero), .y(y2));
  ud_down d1();
  ud_plain p1(.a(one));
  always @(y1) $display("%0t: y1=%0d", $time, y1);
  initial #4 $display("y1=%0d y2=%0d", y1, y2);
endmodule
