// $monitor prints at the end of each time step in which one of its
// arguments changed, and a later $monitor replaces the earlier one.
`timescale 1ns/1ps
module monitor_changes;
  logic [7:0] a = 0, b = 0;

  initial begin
    $monitor("t=%0d a=%0d", $time, a);
    #5 a = 1;
    a = 2;
    #5 b = 7;
    #5 a = 3;
    #5 $monitor("t=%0d b=%0d", $time, b);
    #5 a = 4;
    #5 b = 8;
    #5 $finish;
  end
endmodule
