// Concatenations aligned from the least significant bit when their width
// differs from the target's, and a procedural replication that assigns when
// it runs.
`timescale 1ns/1ps
module concatenations;
  logic [3:0] hi = 4'hA, lo = 4'h5;
  logic [1:0] two = 2'b11;
  logic [7:0] rep = 0, cat8 = 0;
  wire [5:0] narrow;
  wire [11:0] wide;

  assign narrow = {hi, lo};
  assign wide = {hi, lo};

  initial begin
    $display("rep=%0h", rep);
    #1 rep = {2{hi}};
    $display("rep=%0h narrow=%0h wide=%0h", rep, narrow, wide);
    cat8 = {two, hi};
    hi = 4'h3;
    $display("rep=%0h cat8=%0h", rep, cat8);
    rep = {4{two}};
    #1 $display("rep=%0h narrow=%0h wide=%0h", rep, narrow, wide);
    $finish;
  end
endmodule
