// The action blocks of a concurrent assertion are reported as left out (the
// property itself is still judged), not dropped without a word.
`timescale 1ns/1ps
module left_out_assertion_action;
  logic clk = 0, req = 0, ack = 0;

  always #5 clk = ~clk;

  handshake: assert property (@(posedge clk) req |=> ack)
    else $display("%0t: no ack", $time);
  held: assert property (@(posedge clk) req |-> req) $display("held");

  initial begin
    #12 req = 1;
    #10 req = 0;
    #20 $finish;
  end
endmodule
