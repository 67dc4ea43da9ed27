// Negative and signed parameters keep their declared width and sign, and
// print signed.
`timescale 1ns/1ps
module negative_parameters;
  parameter P = -2;
  parameter signed [7:0] S = -1;
  localparam signed [11:0] L = -100;
  wire [9:0] w10;
  logic [9:0] v10 = 0;
  logic signed [15:0] wide_s = 0;

  assign w10 = P;

  initial begin
    v10 = P;
    wide_s = S;
    #1;
    $display("P=%0d S=%0d L=%0d", P, S, L);
    $display("w10=%0h v10=%0d wide_s=%0d", w10, v10, wide_s);
    $finish;
  end
endmodule
