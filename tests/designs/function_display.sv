// A $display inside a function body prints each time the function is
// called, in the order of the calls.
`timescale 1ns/1ps
module function_display;
  logic [7:0] n = 8'd4, m = 0;

  function automatic [7:0] traced(input [7:0] v);
    $display("traced(%0d)", v);
    traced = v + 1;
  endfunction

  initial begin
    m = traced(n);
    m = traced(m) * 2;
    $display("m=%0d", m);
    $finish;
  end
endmodule
