// A final block also runs when the simulation ends by running out of events.
`timescale 1ns/1ps
module final_after_last_event;
  logic [7:0] v = 1;

  initial begin
    #4 v = v * 3;
    #4 v = v + 2;
    $display("t=%0d v=%0d", $time, v);
  end

  final $display("final: t=%0d v=%0d", $time, v);
endmodule
