// always, always_ff and always_comb blocks whose body is a single if.
`timescale 1ns/1ps
module single_if_always;
  logic clk = 0, en = 0;
  logic [7:0] q = 0, q_ff = 0, sel = 0, comb = 0;

  always #5 clk = ~clk;

  always @(posedge clk)
    if (en) q <= q + 1;

  always_ff @(posedge clk)
    if (en) q_ff <= q_ff + 2;
    else q_ff <= 0;

  always_comb
    if (sel > 3) comb = sel;
    else comb = 8'd3;

  initial begin
    #12 en = 1;
    #20 sel = 7;
    #1 $display("q=%0d q_ff=%0d comb=%0d", q, q_ff, comb);
    en = 0;
    sel = 1;
    #20 $display("q=%0d q_ff=%0d comb=%0d", q, q_ff, comb);
    $finish;
  end
endmodule
