// Bit, part and indexed part selects with indices held in signals, on both
// sides of assignments, for vectors declared [7:0], [0:7] and [8:1].
`timescale 1ns/1ps
module select_indices;
  logic [7:0] down = 8'b1010_0110;
  logic [0:7] up = 8'b1010_0110;
  logic [8:1] off = 8'b1010_0110;
  logic [2:0] i = 3'd1;
  logic [3:0] j = 4'd2;
  logic [7:0] r1, r2, r3;
  logic [3:0] nib;

  initial begin
    r1 = {down[i], up[i], off[j]};
    nib = down[i +: 4];
    r2 = {up[i +: 4], off[j +: 4]};
    r3 = {down[i + 3 -: 3], up[j -: 2], off[j + 4 -: 3]};
    $display("r1=%0h nib=%0h r2=%0h r3=%0h", r1, nib, r2, r3);
    down[i] = 1'b1;
    up[i] = 1'b1;
    off[j] = 1'b1;
    $display("down=%0h up=%0h off=%0h", down, up, off);
    i = 3'd4;
    j = 4'd5;
    down[i +: 3] = 3'b010;
    up[i +: 3] = 3'b010;
    off[j -: 3] = 3'b011;
    $display("down=%0h up=%0h off=%0h", down, up, off);
    down[i - 1 +: 2] = down[1:0] + 2'd1;
    up[j - 3] = ~up[j - 3];
    off[i * 2] = off[1];
    $display("down=%0h up=%0h off=%0h", down, up, off);
    $finish;
  end
endmodule
