// $monitor prints at the end of every time step in which one of its values
// changed, also when it changed back before the step ended: an always_comb
// block that writes a default first, a variable set and reset in one step,
// and a task variable; bits outside a watched select change nothing.
`timescale 1ns/1ps
module monitor_glitches;
  logic [1:0] s = 0;
  logic busy;
  logic pulse = 0;
  logic [7:0] v = 0;

  always_comb begin
    busy = 0;
    if (s >= 2) busy = 1;
  end

  task blip;
    static logic t = 0;
    begin
      t = 1;
      t = 0;
    end
  endtask

  initial begin
    $monitor("%0t: busy=%0d pulse=%0d low=%0h t=%0d", $time, busy, pulse, v[3:0], blip.t);
    #5 s = 2;
    #5 s = 3;
    #5 pulse = 1; pulse = 0;
    #5 v = 8'hF0;
    #5 v = 8'h0F;
    #5 blip;
    #5 s = 1;
    #5 s = 0;
    #5 $finish;
  end
endmodule
