// A $finish or $display guarded by an if obeys the guard as it stands when
// the statement runs; a later statement of the same step that makes the
// guard true does not make the earlier one fire.
`timescale 1ns/1ps
module finish_guard;
  logic clk = 0;
  logic done = 0;
  logic [7:0] count = 0;

  always #5 clk = ~clk;

  always @(posedge clk) begin
    if (done) $finish;
    if (count == 3) $display("t=%0d count reached 3", $time);
    count = count + 1;
    if (count == 5) done = 1;
    if (done) $display("t=%0d done is set", $time);
  end

  initial #200 begin
    $display("timeout");
    $finish;
  end

  final $display("final: count=%0d", count);
endmodule
