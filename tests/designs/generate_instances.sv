// Instances inside generate blocks: a ripple-carry adder built by a
// generate for of full adders, and a generate if that picks one of two
// implementations by a parameter.
`timescale 1ns/1ps
module generate_instances;
  logic [3:0] a = 4'd5, b = 4'd9;
  logic cin = 0;
  wire [3:0] sum;
  wire [4:0] carry;
  wire [3:0] fast_sum, slow_sum;

  assign carry[0] = cin;
  genvar k;
  generate
    for (k = 0; k < 4; k = k + 1) begin : bit_slice
      full_adder fa(.a(a[k]), .b(b[k]), .cin(carry[k]), .s(sum[k]), .cout(carry[k + 1]));
    end
  endgenerate

  adder_choice #(.FAST(1)) u_fast(.a(a), .b(b), .s(fast_sum));
  adder_choice #(.FAST(0)) u_slow(.a(a), .b(b), .s(slow_sum));

  initial begin
    #1 $display("sum=%0d cout=%0d fast=%0d slow=%0d", sum, carry[4], fast_sum, slow_sum);
    a = 4'd15;
    b = 4'd1;
    cin = 1;
    #1 $display("sum=%0d cout=%0d fast=%0d slow=%0d", sum, carry[4], fast_sum, slow_sum);
    a = 4'd6;
    b = 4'd3;
    #1 $display("sum=%0d cout=%0d fast=%0d slow=%0d", sum, carry[4], fast_sum, slow_sum);
    $finish;
  end
endmodule

module full_adder(input logic a, input logic b, input logic cin, output logic s, output logic cout);
  assign s = a ^ b ^ cin;
  assign cout = (a & b) | (cin & (a ^ b));
endmodule

module adder_choice #(parameter bit FAST = 1) (input logic [3:0] a, input logic [3:0] b, output logic [3:0] s);
  generate
    if (FAST) begin : direct
      assign s = a + b;
    end else begin : offset
      plus_one u_inc(.v(a + b - 4'd1), .r(s));
    end
  endgenerate
endmodule

module plus_one(input logic [3:0] v, output logic [3:0] r);
  assign r = v + 4'd1;
endmodule
