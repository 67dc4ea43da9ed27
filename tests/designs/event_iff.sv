// `iff` qualifies an event: it counts only when its condition holds at the
// moment the event occurs, on the values of that moment. A condition that
// a non-blocking update changes at the same edge is read before the update;
// one a process writes just after the edge, in the same time step, comes
// too late; one that comes true between events wakes nothing. In an `or`
// list the condition belongs to its own event only. A wait for a
// qualified event in an `initial` block, in an assignment, and in a
// non-blocking assignment waits for the first occurrence that counts.
// Expected output: by hand
// Neither Icarus 11 nor Verilator 5.006 parses `iff` in an event control.
// The output below follows IEEE 1800 9.4.2.3 by hand:
//   clk rises at 5, 15, ..., 55 and falls at 10, 20, ..., 50; en holds
//   from 12 to 32 and from 52 on, so the rising edges at 15, 25 and 55
//   count: gated = 3; with the fall of rst_n at 40, either = 4.
//   tog reads 0, 1, 0, 1, 0 at the falls 10 ... 50 (before each update):
//   the falls at 20 and 40 count.
//   v changes at 7 (mode 0), 9 (mode 2), 11 (mode still 2 when v changes,
//   then 0), 13 (mode 3): those at 9 and 11 count.
//   clk2 rises at 2 with en2 set before (counts), at 4 with en2 0, and at
//   6 with en2 set after it in the same step (neither counts).
//   The initial block waits for 15, takes v (4) and writes it at 25, where
//   it makes an update that lands at the next edge that counts, 55.
`timescale 1ns/1ns
module event_iff;
  logic clk = 0, en = 0, rst_n = 1, clk2 = 0, en2 = 0, tog = 0;
  logic [3:0] v = 0, mode = 0;
  logic [7:0] gated = 0, either = 0, got = 0, late_q = 0;

  always #5 clk = ~clk;

  always @(posedge clk iff en) gated <= gated + 1;
  always @(posedge clk iff en or negedge rst_n) either <= either + 1;

  always @(negedge clk) tog <= ~tog;
  always @(negedge clk iff tog) $display("%0t: fall of clk with tog", $time);

  always @(v iff (mode == 2)) $display("%0t: v=%0d mode=%0d", $time, v, mode);

  always @(posedge clk2 iff en2) $display("%0t: rise of clk2 with en2", $time);

  initial begin
    #2 en2 = 1; clk2 = 1;
    #1 clk2 = 0; en2 = 0;
    #1 clk2 = 1;
    #1 clk2 = 0;
    #1 clk2 = 1; en2 = 1;
    #1 v = 1;
    #1 mode = 2;
    #1 v = 2;
    #2 v = 3; mode = 0;
    #1 en = 1;
    #1 mode = 3; v = 4;
    #19 en = 0;
    #8 rst_n = 0;
    #2 rst_n = 1;
    #10 en = 1;
  end

  initial begin
    @(posedge clk iff en) $display("%0t: first rise of clk with en", $time);
    got = @(posedge clk iff en) v;
    $display("%0t: got=%0d", $time, got);
    late_q <= @(posedge clk iff en) 8'd9;
    #33 $display("%0t: gated=%0d either=%0d late_q=%0d", $time, gated, either, late_q);
    $finish;
  end
endmodule
