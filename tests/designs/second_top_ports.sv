// The ports of a second and a third top module are signals of their own,
// named after their top (st_other.clk), never the first top's signals of
// the same names: st_other counts on its own clk, which nothing drives, and
// its output cnt is not the first top's cnt. A top's input port is
// connected to nothing, so it reads as low, also under `unconnected_drive
// pull1, which pulls the ports of instances only.
`timescale 1ns/1ps
module second_top_ports;
  logic clk = 0;
  logic [3:0] cnt = 0;
  always @(posedge clk) cnt = cnt + 1;
  initial begin
    #1 clk = 1;
    #1 clk = 0;
    #1 clk = 1;
    #1 $display("first: clk=%0d cnt=%0d", clk, cnt);
  end
endmodule

module st_other(input logic clk, output logic [3:0] cnt);
  initial cnt = 4'd9;
  always @(posedge clk) cnt = cnt + 1;
  initial #5 begin
    if (clk) $display("other: clk high");
    else $display("other: clk low");
    $display("other: cnt=%0d", cnt);
  end
endmodule

`unconnected_drive pull1
module st_pulled(input logic clk);
  initial #6 begin
    if (clk) $display("pulled: clk high");
    else $display("pulled: clk low");
  end
endmodule
`nounconnected_drive
