// A fork/join block is left out of the model and reported with its line.
`timescale 1ns/1ps
module left_out_fork_join;
  logic [7:0] a = 0, b = 0, c = 0;

  initial begin
    c = 1;
    fork
      #2 a = 3;
      #4 b = 4;
    join
    #1 $display("a=%0d b=%0d c=%0d", a, b, c);
    $finish;
  end
endmodule
