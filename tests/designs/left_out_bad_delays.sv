// Delays that are negative or past the last countable time are left out and
// reported, never placed back in time or wrapped around.
`timescale 1ns/1ps
module left_out_bad_delays;
  parameter integer BACK = -3;
  logic [7:0] a = 0, b = 0, c = 0, d = 0;

  initial begin
    #(-3) a = 1;
    #BACK b = 1;
    #(-1.5) c = 1;
    #(64'hFFFF_FFFF_FFFF_FFFF) d = 1;
    #18446744073709551616 d = 2;
    #2 $display("a=%0d b=%0d c=%0d d=%0d t=%0d", a, b, c, d, $time);
    $finish;
  end
endmodule
