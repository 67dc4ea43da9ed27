// The system task $fopen is left out of the model and reported with its line.
`timescale 1ns/1ps
module left_out_fopen;
  logic [31:0] fd = 0;
  logic [7:0] v = 3;

  initial begin
    fd = $fopen("left_out_fopen.log");
    v = v * 2;
    #1 $display("v=%0d", v);
    $finish;
  end
endmodule
