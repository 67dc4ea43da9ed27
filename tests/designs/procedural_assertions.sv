// Concurrent assertions inside procedures (IEEE 1800-2017 16.14.6): an
// attempt starts only where the procedure reaches the statement (an if or
// case around it decides, when the procedure runs), at the clock the
// assertion names or, without one, at the clock the procedure's event
// control gives: the edge event whose signal the body does not read. The
// property is judged on the values sampled at that clock; an assertion in an
// initial block is reached, and attempted, once.
// Expected output: by hand
// Neither Icarus 11 nor Verilator 5.006 runs a concurrent assertion in a
// procedure (a syntax error; an internal error), so the results in
// procedural_assertions.assertions follow IEEE 1800 by hand. Rising clock
// edges come at 5, 15, 25, 35 and 45.
// - pa: en is 1 from 11 to 31, so the procedure reaches pa at 15 and 25; a
//   is 0 at 15 and 1 at 25: FAIL at 15, PASS at 25.
// - pi: reached once, at time 0; its first clock, at 5, sees a = 0: FAIL
//   at 5, and no attempt after.
// - pr: clocked by posedge clk (the body reads rst_n). rst_n is 0 from 12 to
//   22, b with it: at 15 the procedure takes the reset branch and pr is not
//   attempted. At 5, 25, 35 and 45 b is 1: each attempt passes.
// As for any assertion, a result decided at the clock its attempt starts is
// recorded when it differs from the last one: a clock without an attempt
// counts as a vacuous one (as a false antecedent of an implication does),
// so pr's passes are recorded at 5 and again at 25, after 15.
`timescale 1ns/1ns
module procedural_assertions;
  logic clk = 0, a = 0, en = 0, rst_n = 1, b = 1;
  always #5 clk = ~clk;
  always @(posedge clk) if (en) pa: assert property (a);
  initial pi: assert property (@(posedge clk) a);
  always @(posedge clk or negedge rst_n) if (!rst_n) ; else pr: assert property (b);
  initial begin
    #11 en = 1;
    #1 rst_n = 0; b = 0;
    #9 a = 1;
    #1 rst_n = 1; b = 1;
    #9 en = 0; a = 0;
    #20 $display("finished at %0d", $time);
    $finish;
  end
endmodule
