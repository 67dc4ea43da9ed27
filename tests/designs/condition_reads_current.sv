// An if condition reads its operands when the if runs, including a part
// select compared with a signal written just before it.
`timescale 1ns/1ps
module condition_reads_current;
  logic [7:0] d = 8'h35;
  logic [3:0] n = 0;
  logic [7:0] hits = 0, misses = 0;

  initial begin
    n = 4'd5;
    if (d[3:0] != n) misses = misses + 1;
    else hits = hits + 1;
    n = 4'd3;
    if (d[3:0] != n) misses = misses + 1;
    else hits = hits + 1;
    d = 8'h43;
    if (d[3:0] == n) hits = hits + 1;
    if (d[7:4] != 4'd4) misses = misses + 1;
    $display("hits=%0d misses=%0d", hits, misses);
    $finish;
  end
endmodule
