// Part selects and indexed part selects as operands.
`timescale 1ns/1ps
module part_select_operands;
  logic [7:0] a = 8'hB6, b = 8'b0000_1100, y = 0, z = 0, p = 0;
  logic [2:0] c = 2;
  logic [3:0] nib = 0;
  wire [7:0] w;

  assign w = b[3:2] + 1;

  initial begin
    y = b[3:2] + 1;
    nib = a[c+:4];
    z = a[7:4] + a[3:0];
    p = a[c+:4] - 1;
    #1 $display("y=%0d nib=%0h z=%0d p=%0d w=%0d", y, nib, z, p, w);
    c = 4;
    b = 8'b0000_0100;
    nib = a[c+:4];
    #1 $display("nib=%0h w=%0d", nib, w);
    $finish;
  end
endmodule
