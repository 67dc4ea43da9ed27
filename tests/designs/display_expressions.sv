// $display arguments that are expressions are computed when the display
// runs, with the widths and signs of their operands; a display under an
// event list prints for each event, and a task called twice on one line
// prints each caller's own value.
`timescale 1ns/1ps
module display_expressions;
  logic [7:0] a = 6, b = 7, c = 1, x = 3, h = 200, k = 100;
  logic signed [7:0] s = -2, t = -1;
  logic [7:0] m = 1, n = 2;

  task show(input logic [7:0] v);
    $display("show %0d %0d", v, v + 1);
  endtask

  always @(m or n) $display("sum %0d at %0t", m + n, $time);

  initial begin
    #5 m = 10;
    #5 n = 20;
    #1 show(m);
    show(n); show(m);
  end

  initial begin
    #1;
    $display("%0d %0d|%4h|%0d|%-3d|", a*b+c, x, a[1:0], a, 5);
    $display("%0d %0d %0d", a + 1, a * 3, 10 - a);
    $display("%0d %0d %0d", s + 1, s * b, $signed(x) - 7);
    $display("%0d %0d %0d %0d %0d", h + k, h + 100, s + t, s * 2, $signed(s + c));
    $display("%0d", a + 2); $display("%0d", a + 3);
    a = 20;
    $display("%0d %0d", a + 1, a + b);
  end
endmodule
