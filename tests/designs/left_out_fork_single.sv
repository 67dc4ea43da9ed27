// A fork/join holding a single statement is reported on the line of its
// fork, like one holding several.
`timescale 1ns/1ps
module left_out_fork_single;
  logic [7:0] a = 0;

  initial begin
    fork
      #2 a = 3;
    join
    #1 $display("a=%0d", a);
    $finish;
  end
endmodule
