// An event control on one bit of a vector watches that bit only.
`timescale 1ns/1ps
module posedge_bit;
  logic [3:0] bus = 0;
  logic [7:0] rises = 0, falls = 0;

  always @(posedge bus[1]) begin
    rises = rises + 1;
    $display("t=%0d rise of bus[1], bus=%0h", $time, bus);
  end

  always @(negedge bus[1]) falls = falls + 1;

  initial begin
    #1 bus = 4'h1;
    #1 bus = 4'h2;
    #1 bus = 4'h3;
    #1 bus = 4'h4;
    #1 bus = 4'h6;
    #1 bus = 4'hF;
    #1 bus = 4'h0;
    #1 $display("rises=%0d falls=%0d", rises, falls);
    $finish;
  end
endmodule
