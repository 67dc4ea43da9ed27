// A wait statement is left out of the model and reported with its line.
`timescale 1ns/1ps
module left_out_wait;
  logic done = 0;
  logic [7:0] n = 0;

  initial #7 done = 1;

  initial begin
    wait (done);
    n = 8'd5;
  end

  initial #10 begin
    $display("n=%0d done=%0d", n, done);
    $finish;
  end
endmodule
