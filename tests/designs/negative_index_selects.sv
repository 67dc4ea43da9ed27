// Constant selects with negative indices read and write the bits the
// declaration names, in vectors declared down and up through 0.
`timescale 1ns/1ps
module negative_index_selects;
  logic [3:-4] down = 8'b1011_0110;
  logic [-4:3] up = 8'b1011_0110;
  logic [7:0] a = 0, b = 0;

  initial begin
    a = down[-2:-4];
    b = up[-4:-2];
    $display("down[-2]=%0d up[-2]=%0d a=%0d b=%0d", down[-2], up[-2], a, b);
    a = down[-1 +: 3];
    b = up[-1 -: 2];
    $display("a=%0d b=%0d", a, b);
    down[-4] = 1;
    up[-4] = 0;
    down[-3:-4] = 2'b01;
    $display("down=%0h up=%0h", down, up);
    $finish;
  end
endmodule
