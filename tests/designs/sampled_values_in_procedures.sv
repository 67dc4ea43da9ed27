// $rose, $fell, $stable and $changed in procedural code compare the value
// sampled at this tick of the procedure's clock (the value the signal had
// when the time step began) with the one sampled at its previous tick;
// before the first tick they look back on the value the signal was
// declared with. With a reset in the event
// list the clock is the event whose signal the body does not read. A value
// written at an edge is seen at the next.
// Expected output: Verilator
// Icarus 11 has no $rose and its kind; the output below follows IEEE 1800
// 16.9.3 and 16.14.6 by hand and is checked with Verilator.
`timescale 1ns/1ns
module sampled_values_in_procedures;
  bit clk = 0, rst_n = 1, a = 0, b = 0;
  bit [3:0] v = 0, q = 0;
  bit [7:0] rises = 0, falls = 0, resets = 0, edges = 0;

  always #5 clk = ~clk;

  always @(posedge clk)
    $display("%0t rose(a)=%0d fell(a)=%0d rose(b)=%0d stable(v)=%0d changed(v)=%0d rose(q)=%0d",
             $time, $rose(a), $fell(a), $rose(b), $stable(v), $changed(v), $rose(q));

  always_ff @(posedge clk or negedge rst_n)
    if (!rst_n) begin
      resets <= resets + 1;
    end else begin
      if ($rose(a)) rises <= rises + 1;
      if ($fell(a)) falls <= falls + 1;
    end

  always @(negedge clk) if ($changed(v)) edges <= edges + 1;

  // q changes at a rising edge: the procedures clocked by that edge still
  // sample its old value.
  always @(posedge clk) q <= v;

  initial begin
    #1 b = 1;
    #1 a = 1;
    #10 v = 4'd3;
    #6 rst_n = 0;
    #1 rst_n = 1;
    #3 a = 0;
    #12 v = 4'd2;
    #2 a = 1;
    #8 v = 4'd5;
    #20 $display("rises=%0d falls=%0d resets=%0d edges=%0d", rises, falls, resets, edges);
    $finish;
  end
endmodule
