// A constant bit select on the left writes the bit the declaration names,
// for ranges that do not start at 0 or that count upwards.
`timescale 1ns/1ps
module bit_select_ranges;
  logic [3:1] down = 0;
  logic [0:3] up = 0;
  logic [7:4] high = 0;

  initial begin
    down[1] = 1;
    up[0] = 1;
    high[6] = 1;
    $display("down=%0d up=%0d high=%0d", down, up, high);
    down[3] = 1;
    up[3] = 1;
    high[4] = 1;
    $display("down=%0d up=%0d high=%0d", down, up, high);
    $finish;
  end
endmodule
