// Tasks: called from a process written above the declaration, with
// arguments that are expressions and selects (passed by value), with an
// output argument and with a plain local variable.
`timescale 1ns/1ps
module tasks;
  logic x = 0;
  logic [7:0] v = 8'hA7;
  logic [7:0] seen = 0, got = 0;
  logic [3:0] low = 0;

  initial begin
    show_bit(!x);
    show_bit(x);
    show_nibble(v[3:0]);
    show_nibble(v[7:4]);
    add_twice(v, got);
    $display("add_twice=%0d", got);
    $display("seen=%0d", seen);
    $finish;
  end

  task show_bit(input logic b);
    seen = seen + 1;
    $display("bit=%0d", b);
  endtask

  task show_nibble(input [3:0] nib);
    low = nib;
    $display("nibble=%0h", low);
  endtask

  task add_twice(input [7:0] a, output [7:0] r);
    logic [7:0] t;
    t = a + 1;
    r = t + 1;
  endtask
endmodule
