// What follows an if runs after the arm that was taken, with the arm's
// delays; an if after a bare event wait runs on that event; a condition on
// a bit chosen by a signal reads both when it runs.
`timescale 1ns/1ps
module if_arms_timing;
  logic clk = 0;
  logic on = 1, off = 0;
  logic t1 = 0, e1 = 0, after1 = 0;
  logic t2 = 0, e2 = 0, after2 = 0;
  logic inner = 0, go = 0, stop = 0;
  logic [3:0] data = 4'b0101;
  logic [1:0] i = 1;
  logic q = 1, first = 0, after = 0;
  logic p = 0, r = 0;

  always #10 clk = ~clk;

  initial begin
    #5;
    if (on) begin #10 t1 = 1; end else begin #3 e1 = 1; end
    after1 = 1;
  end

  initial begin
    #5;
    if (off) begin #10 t2 = 1; end else begin #3 e2 = 1; end
    after2 = 1;
    if (on) if (!off) #1 inner = 1;
  end

  initial begin
    @(posedge clk);
    if (off) stop = 1; else go = 1;
  end

  always @(posedge clk) begin
    first <= 1;
    if (data[i]) q <= 1; else q <= 0;
    after <= 1;
  end

  initial begin
    #2;
    if (data[i]) #10 p = 1;
    r = 1;
  end

  initial begin
    $monitor("%0t: t1=%0d e1=%0d after1=%0d t2=%0d e2=%0d after2=%0d inner=%0d go=%0d stop=%0d q=%0d first=%0d after=%0d p=%0d r=%0d",
             $time, t1, e1, after1, t2, e2, after2, inner, go, stop, q, first, after, p, r);
    #50 $finish;
  end
endmodule
