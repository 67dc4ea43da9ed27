// Vectors of 1, 8, 9 and 64 bits copied, sliced and written bit by bit, and
// a ?: operator in a non-blocking, a blocking and a combinational process.
`timescale 1ns/1ps
module vector_stores;
  logic clk = 0;
  logic s = 0;
  logic [7:0] a = 8'h11, b = 8'h22, v = 0, n = 0, m;
  logic [8:0] w9 = 9'h1F0, copy9 = 0;
  logic [63:0] w64 = 64'h8000_0000_0000_0003, copy64 = 0;
  logic [3:0] slice = 0;
  logic top_bit = 0, bit4 = 0, lsb64 = 0;
  logic [7:0] shifted = 0;
  logic [7:0] bits = 8'hF0;
  logic [63:0] flags = 0;

  always #5 clk = ~clk;
  always @(posedge clk) flags[40] <= ~flags[40];
  always @(posedge clk) begin
    v <= s ? a : b;
    s <= ~s;
  end
  always @(posedge clk) n = s ? a : b;
  always_comb m = s ? b : a;

  initial begin
    #1 copy9 = w9;
    copy64 = w64;
    slice = w9[7:4];
    top_bit = w64[63];
    bit4 = w9[4];
    lsb64 = w64;
    shifted = {a[6:0], s};
    bits[0] = 1;
    bits[7] = 0;
    $display("w64=%0h copy9=%0h copy64=%0h slice=%0h top_bit=%0d bit4=%0d lsb64=%0d shifted=%0h bits=%0h",
             w64, copy9, copy64, slice, top_bit, bit4, lsb64, shifted, bits);
    $display("%0t: v=%0h n=%0h m=%0h flags=%0h", $time, v, n, m, flags);
    #6 $display("%0t: v=%0h n=%0h m=%0h flags=%0h", $time, v, n, m, flags);
    #10 $display("%0t: v=%0h n=%0h m=%0h flags=%0h", $time, v, n, m, flags);
    #10 $display("%0t: v=%0h n=%0h m=%0h flags=%0h", $time, v, n, m, flags);
    $finish;
  end
endmodule
