// An array declaration is left out of the model and reported with its line.
`timescale 1ns/1ps
module left_out_array;
  logic [7:0] table_of_bytes [0:3];
  logic [7:0] v = 0;

  initial begin
    v = v + 5;
    #1 $display("v=%0d", v);
    $finish;
  end
endmodule
