// Event controls with lists of edges and signals: posedge of one signal or
// negedge of another, comma lists, and a change of a part select.
`timescale 1ns/1ps
module event_lists;
  logic a = 0, b = 1;
  logic [7:0] bus = 0;
  logic [7:0] edges = 0, changes = 0, low_changes = 0;

  always @(posedge a or negedge b) begin
    edges = edges + 1;
    $display("%0t: edge a=%0d b=%0d edges=%0d", $time, a, b, edges);
  end

  always @(a, bus) changes = changes + 1;

  always @(bus[3:0]) begin
    low_changes = low_changes + 1;
    $display("%0t: low nibble now %0h", $time, bus[3:0]);
  end

  initial begin
    #1 a = 1;
    #1 b = 0;
    #1 a = 0;
    #1 b = 1;
    #1 bus = 8'h10;
    #1 bus = 8'h13;
    #1 bus = 8'h23;
    #1 a = 1;
    b = 0;
    #1 $display("edges=%0d changes=%0d low_changes=%0d", edges, changes, low_changes);
    $finish;
  end
endmodule
