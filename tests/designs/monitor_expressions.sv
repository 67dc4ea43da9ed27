// $monitor with bit and part selects as arguments: it prints when a
// selected value changes, and not when only bits outside the selects do.
// (Icarus Verilog 11 accepts no operators in $monitor arguments, so the
// expected output covers selects only.)
`timescale 1ns/1ps
module monitor_expressions;
  logic [7:0] a = 8'd1, b = 8'd2;
  logic [3:0] n = 4'd0;

  initial begin
    $monitor("%0t: a3=%0d top=%0d lo=%0h b=%0d", $time, a[3], n[3:2], a[3:0], b[7]);
    #1 a = 8'd9;
    #1 a = 8'h19;
    #1 n = 4'd4;
    #1 n = 4'd5;
    #1 b = 8'd130;
    #1 a = 8'd1;
    n = 4'd12;
    #1 b = 8'd131;
    #1 $finish;
  end
endmodule
