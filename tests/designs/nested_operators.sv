// Expressions with several operators, mixed widths and mixed signs in one
// statement: the operands widen to the widest of the expression and its
// target before any operator runs, and an unsigned operand makes the whole
// expression unsigned.
`timescale 1ns/1ps
module nested_operators;
  logic [7:0] a = 8'd200, b = 8'd100, c = 8'd7;
  logic [3:0] n = 4'd9;
  logic signed [7:0] s = -8'sd6;
  logic signed [3:0] t = -4'sd3;
  logic [7:0] avg8, masked, mixed8;
  logic [8:0] avg9;
  logic [15:0] cat_sum, signed_mul, unsigned_mul, widened, narrow_sum;
  logic signed [15:0] ssum;
  logic gt, eq, lt_wrap, lt_wide;

  initial begin
    avg8 = (a + b) >> 1;
    avg9 = (a + b) >> 1;
    cat_sum = {a, b} + c;
    signed_mul = $signed(s) * $signed(c) - 3;
    unsigned_mul = $signed(a) * c - 3;
    masked = a & 8'h0f | b;
    mixed8 = (a ^ b) + (c << 2) - n;
    widened = n * a + (b >> 2);
    narrow_sum = n + c;
    ssum = s + t;
    gt = (a + b) > (c << 5);
    eq = a + b == 9'd300;
    lt_wrap = (a + b) < 8'd50;
    lt_wide = a + b < 50;
    $display("avg8=%0d avg9=%0d cat_sum=%0d", avg8, avg9, cat_sum);
    $display("signed_mul=%0d unsigned_mul=%0d", $signed(signed_mul), unsigned_mul);
    $display("masked=%0h mixed8=%0d widened=%0d narrow_sum=%0d", masked, mixed8, widened, narrow_sum);
    $display("ssum=%0d gt=%0d eq=%0d lt_wrap=%0d lt_wide=%0d", ssum, gt, eq, lt_wrap, lt_wide);
    a = 8'd3;
    b = 8'd250;
    avg8 = (a + b + c) >> 2;
    cat_sum = {n, a[3:0]} * (b - a) + {c, 1'b1};
    mixed8 = ~(a | b) & (c + 8'd1);
    $display("avg8=%0d cat_sum=%0d mixed8=%0d", avg8, cat_sum, mixed8);
    $finish;
  end
endmodule
