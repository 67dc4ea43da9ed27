// Delays of 2^32 units and more keep all their bits.
`timescale 1ns/1ns
module long_delays;
  logic [7:0] step = 0;

  initial begin
    #16 step = 1;
    $display("t=%0d step=%0d", $time, step);
    #4294967296 step = 2;
    $display("t=%0d step=%0d", $time, step);
    #8589934592 step = 3;
    $display("t=%0d step=%0d", $time, step);
    $finish;
  end

  initial #4294967320 $display("absolute t=%0d", $time);
endmodule
