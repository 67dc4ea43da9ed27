// Non-blocking assignments to bit selects with a signal index and to part
// selects: a register filled one bit per clock at a moving position and a
// shift register built from part selects.
`timescale 1ns/1ps
module nonblocking_selects;
  logic clk = 0;
  logic [7:0] fill = 0, shreg = 8'h01, pattern = 8'b1101_0010;
  logic [2:0] pos = 0;
  logic [0:7] rev = 0;

  always #5 clk = ~clk;

  always @(posedge clk) begin
    fill[pos] <= pattern[pos];
    rev[pos] <= pattern[pos];
    pos <= pos + 3'd1;
    shreg[7:1] <= shreg[6:0];
    shreg[0] <= shreg[7] ^ shreg[5];
  end

  always @(negedge clk) $display("%0t: pos=%0d fill=%0h rev=%0h shreg=%0h", $time, pos, fill, rev, shreg);

  initial #90 $finish;
endmodule
