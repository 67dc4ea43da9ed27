// Several non-blocking writes to one variable in a time step land in the
// order they were scheduled: the last one wins, whole or by bits.
`timescale 1ns/1ps
module nba_last_write_wins;
  logic clk = 0;
  logic [7:0] q = 0, r = 0, s = 0;

  always #5 clk = ~clk;

  always @(posedge clk) begin
    q <= 8'd1;
    q <= q + 8'd10;
    r <= 8'hF0;
    if (q > 8'd5) r[3:0] <= 4'h3;
    r[7:4] <= 4'hA;
  end

  always @(posedge clk) begin
    s <= 8'd7;
    #1 s <= 8'd9;
  end

  always @(negedge clk) $display("t=%0d q=%0d r=%0h s=%0d", $time, q, r, s);

  initial #36 $finish;
endmodule
