// $time and $realtime answer in the module's unit of 10 ns; %t prints in
// the precision of 1 ns.
`timescale 10ns/1ns
module time_units;
  initial begin
    #3 $display("%0d|%0t|%0d", $time, $time, $realtime);
    #4 $monitor("monitor %0d|%0t", $time, $time);
  end
endmodule
