// #0 moves a process behind every process that is ready in the same time
// step, but before non-blocking updates land.
`timescale 1ns/1ps
module zero_delay;
  logic [7:0] x = 0, y = 0, z = 0;

  initial begin
    #0 $display("late reader: x=%0d y=%0d z=%0d", x, y, z);
    #0 $display("after a second #0: z=%0d", z);
    #5 x = 8'd7;
    z <= 8'd1;
    #0 $display("at 5 after #0: x=%0d z=%0d", x, z);
  end

  initial begin
    x = 8'd5;
    y = x + 8'd1;
    z <= 8'd9;
  end

  initial begin
    #5 $display("at 5 without #0: x=%0d", x);
    #1 $display("at 6: z=%0d", z);
    $finish;
  end
endmodule
