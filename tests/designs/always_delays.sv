// Delays in always bodies: a counter stepped every 2 units and a display
// that repeats every 2 units.
`timescale 1ns/1ps
module always_delays;
  logic [7:0] v = 0;

  always begin
    #2;
    v = v + 1;
  end

  always #2 $display("tick at %0d", $time);

  always begin
    #3 $display("t=%0d v=%0d", $time, v);
    #3;
  end

  initial #17 $finish;
endmodule
