// An assertion with an unbounded delay range (##[m:$]) is left out and
// reported, not checked as a different property.
`timescale 1ns/1ps
module left_out_assertion_range;
  logic clk = 0, req = 0, ack = 0;

  always #5 clk = ~clk;

  assert property (@(posedge clk) req |-> ##[1:$] ack);

  initial begin
    #12 req = 1;
    #10 req = 0;
    #10 ack = 1;
    #10 ack = 0;
    #20 $finish;
  end
endmodule
