// if conditions made of several operators on vectors of different widths:
// masked compares, logical combinations, negations and sums compared with
// sums.
`timescale 1ns/1ps
module complex_conditions;
  logic clk = 0;
  logic [7:0] a = 8'h5A, b = 8'h0F, mask = 8'hF0;
  logic [3:0] n = 4'd7;
  logic [7:0] hits = 0;

  always #5 clk = ~clk;

  always @(posedge clk) begin
    if ((a & mask) == (b << 4) && !(n > 4'd8)) $display("%0t: masked high nibble matches", $time);
    if (a + b > 8'd100 || n[3]) $display("%0t: large or high n", $time);
    if ((a ^ b) & 8'h01 ? n != 0 : n == 0) $display("%0t: parity rule", $time);
    if (!(a < b) && (a - b) >= {4'd0, n}) hits <= hits + 1;
    else if (~|(a & b)) $display("%0t: disjoint", $time);
  end

  initial begin
    #7 a = 8'hF3;
    b = 8'h0F;
    #10 a = 8'h03;
    b = 8'hF0;
    n = 4'd9;
    #10 a = 8'h04;
    b = 8'h05;
    n = 4'd0;
    #10 $display("hits=%0d", hits);
    $finish;
  end
endmodule
