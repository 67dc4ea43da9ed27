// One-bit targets assigned from &, |, ^, ~^, ==, !=, ?: and a function call,
// procedural and continuous.
`timescale 1ns/1ps
module one_bit_operators;
  logic x = 1, y = 0;
  logic [3:0] m = 4'd6, n = 4'd6;
  logic p_and = 0, p_or = 0, p_xor = 0, p_xnor = 0, p_eq = 0, p_ne = 0, p_sel = 0, p_fn = 0;
  wire c_and, c_or, c_xor, c_xnor, c_eq, c_ne, c_sel, c_fn;

  function automatic logic both(input logic u, input logic v);
    both = u & v;
  endfunction

  assign c_and = x & y;
  assign c_or = x | y;
  assign c_xor = x ^ y;
  assign c_xnor = x ~^ y;
  assign c_eq = m == n;
  assign c_ne = m != n;
  assign c_sel = x ? y : x;
  assign c_fn = both(x, y);

  task show;
    p_and = x & y;
    p_or = x | y;
    p_xor = x ^ y;
    p_xnor = x ~^ y;
    p_eq = m == n;
    p_ne = m != n;
    p_sel = x ? y : x;
    p_fn = both(x, y);
    #1;
    $display("x=%0d y=%0d proc %0d%0d%0d%0d%0d%0d%0d%0d cont %0d%0d%0d%0d%0d%0d%0d%0d",
             x, y, p_and, p_or, p_xor, p_xnor, p_eq, p_ne, p_sel, p_fn,
             c_and, c_or, c_xor, c_xnor, c_eq, c_ne, c_sel, c_fn);
  endtask

  initial begin
    show;
    y = 1;
    n = 4'd7;
    show;
    x = 0;
    show;
    $finish;
  end
endmodule
