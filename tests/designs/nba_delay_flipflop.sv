// Flip-flops with a clock-to-output delay, `q <= #D d`: the right side is
// computed at the edge, the process goes on at once, and the update lands D
// later, in the NBA region of that time. Under a clock slower than the
// delay each update lands before the next edge; under a faster one several
// updates are in flight at once and each lands at its own time. Targets
// may be selects (the index is taken when the statement runs) and
// concatenations.
`timescale 1ns/1ns
module nba_delay_flipflop;
  bit slow_clk = 0, fast_clk = 0;
  bit [3:0] d = 0, q_slow = 0, q_fast = 0;
  bit [3:0] sel_q = 0, hi = 0, lo = 0;
  bit [1:0] i = 0;
  bit b = 0;

  always #5 slow_clk = ~slow_clk; // period 10 against a delay of 1
  always #2 fast_clk = ~fast_clk; // period 4 against a delay of 7

  always @(posedge slow_clk) q_slow <= #1 d;
  always @(posedge fast_clk) q_fast <= #7 d;
  always @(posedge slow_clk) begin
    sel_q[i] <= #3 b;
    i = i + 1;
  end
  always @(negedge slow_clk) {hi, lo} <= #2 {d, ~d};

  initial begin
    #3 d = 4'd1;
    #5 d = 4'd2;
    #3 d = 4'd3; b = 1;
    #6 d = 4'd4;
    #3 d = 4'd5;
    #3 d = 4'd6;
    #10 d = 4'd7; b = 0;
    #11 $finish;
  end

  always @(q_slow) $display("%0t q_slow=%0d", $time, q_slow);
  always @(q_fast) $display("%0t q_fast=%0d", $time, q_fast);
  always @(sel_q) $display("%0t sel_q=%0d", $time, sel_q);
  always @(hi or lo) $display("%0t hi=%0d lo=%0d", $time, hi, lo);
endmodule
