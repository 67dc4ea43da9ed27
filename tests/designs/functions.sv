// Functions: a body that reads its own return value, a one-bit result, plain
// local variables, and calls from procedural and continuous assignments.
`timescale 1ns/1ps
module functions;
  logic [7:0] x = 9, r1 = 0, r3 = 0;
  logic [3:0] nib = 4'd6;
  logic odd_r = 0, big_r = 0;
  wire w_odd;
  wire [7:0] w_plus;

  function automatic [7:0] plus3(input [7:0] v);
    plus3 = v;
    plus3 = plus3 + 3;
  endfunction

  function automatic logic is_odd(input [7:0] v);
    is_odd = v[0];
  endfunction

  function automatic logic [7:0] double_sum(input [7:0] p, input [7:0] q);
    logic [7:0] s;
    s = p + q;
    double_sum = s * 2;
  endfunction

  function automatic logic above(input [3:0] v);
    above = v > 4'd5;
  endfunction

  assign w_odd = is_odd(x);
  assign w_plus = plus3(x);

  initial begin
    r1 = plus3(x);
    odd_r = is_odd(x);
    big_r = above(nib);
    r3 = double_sum(x, r1);
    $display("plus3=%0d odd=%0d above=%0d double_sum=%0d", r1, odd_r, big_r, r3);
    x = 20;
    #1 $display("w_odd=%0d w_plus=%0d", w_odd, w_plus);
    odd_r = is_odd(x);
    r1 = plus3(r1);
    $display("odd=%0d plus3=%0d", odd_r, r1);
    $finish;
  end
endmodule
