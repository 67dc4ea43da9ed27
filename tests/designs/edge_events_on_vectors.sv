// `edge`, `posedge` and `negedge` of a vector watch its least significant
// bit only, also of a vector expression; `edge` of one bit is any change of
// it. A change that leaves the least significant bit as it was wakes none.
// Expected output: Verilator
// Icarus 11 cannot parse `edge`; the output below follows IEEE 1800 9.4.2
// by hand and is checked with Verilator.
`timescale 1ns/1ns
module edge_events_on_vectors;
  logic [3:0] v = 0;
  logic b = 0;
  logic [7:0] edges = 0, rises = 0, falls = 0, bit_edges = 0, upper_rises = 0;

  always @(edge v) edges = edges + 1;
  always @(posedge v) rises = rises + 1;
  always @(negedge v) falls = falls + 1;
  always @(edge b) bit_edges = bit_edges + 1;
  always @(posedge (v >> 1)) upper_rises = upper_rises + 1;

  task show;
    $display("%0t: v=%0d b=%0d edge=%0d posedge=%0d negedge=%0d edge(b)=%0d posedge(v>>1)=%0d",
             $time, v, b, edges, rises, falls, bit_edges, upper_rises);
  endtask

  initial begin
    #1 v = 4'd2; #1 show;
    #1 v = 4'd3; #1 show;
    #1 v = 4'd5; #1 show;
    #1 v = 4'd4; #1 show;
    #1 v = 4'd6; #1 show;
    #1 v = 4'd7; #1 show;
    #1 b = 1; #1 show;
    #1 b = 0; #1 show;
    $finish;
  end
endmodule
