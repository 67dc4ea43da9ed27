// Division and remainder at the edges of 64 bits: the most negative value
// over -1 wraps, unsigned values at or above 2^63 divide as unsigned, and
// signed division truncates toward zero.
`timescale 1ns/1ps
module division_edges;
  logic signed [63:0] smin = 64'sh8000_0000_0000_0000, minus_one = -64'sd1, three = 64'sd3;
  logic [63:0] ubig = 64'hFFFF_FFFF_FFFF_FFFF, ten = 64'd10;
  logic [63:0] q_min = 0, r_min = 0, q_min_k = 0, r_min_k = 0, q_big = 0, r_big = 0;
  logic signed [63:0] q_s3 = 0, r_s3 = 0;

  initial begin
    q_min = smin / minus_one;
    r_min = smin % minus_one;
    q_min_k = smin / -1;
    r_min_k = smin % -1;
    q_big = ubig / ten;
    r_big = ubig % ten;
    q_s3 = smin / three;
    r_s3 = smin % three;
    $display("q_min=%0h r_min=%0d q_min_k=%0h r_min_k=%0d", q_min, r_min, q_min_k, r_min_k);
    $display("q_big=%0d r_big=%0d q_s3=%0d r_s3=%0d", q_big, r_big, q_s3, r_s3);
    $finish;
  end
endmodule
