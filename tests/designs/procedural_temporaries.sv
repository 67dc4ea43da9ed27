// A statement sees the values the statements before it in the same process
// wrote: sums feeding sums, and compound assignments in a row.
`timescale 1ns/1ps
module procedural_temporaries;
  logic clk = 0;
  logic [7:0] a = 0, b = 0, e = 0, f = 0, g = 0, n = 0;

  always #5 clk = ~clk;

  initial begin
    a = 5;
    b = a + 1;
    $display("b=%0d", b);
    n = 10;
    n += 2;
    n += 3;
    $display("n=%0d", n);
    n -= 4;
    n *= 2;
    $display("n=%0d", n);
  end

  always @(posedge clk) begin
    e = a + 1;
    f = e + 2;
    g = f * 2;
    $display("t=%0d a=%0d e=%0d f=%0d g=%0d", $time, a, e, f, g);
    a = g - 3;
  end

  initial #32 $finish;
endmodule
