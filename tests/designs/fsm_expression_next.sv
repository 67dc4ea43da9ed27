// A state machine whose next state is an expression of the current state,
// registered with a non-blocking assignment, and an output decoded from it.
`timescale 1ns/1ps
module fsm_expression_next;
  logic clk = 0, rst = 1;
  logic [2:0] state = 0;
  logic [7:0] visits = 0;
  logic [3:0] ring = 4'b0001;
  wire last;

  always #5 clk = ~clk;

  assign last = state == 3'd5;

  always @(posedge clk)
    if (rst) state <= 0;
    else if (last) state <= 3'd1;
    else state <= state + 1;

  always @(posedge clk)
    if (rst) ring <= 4'b0001;
    else ring <= {ring[2:0], ring[3]};

  always @(posedge clk)
    if (last) visits <= visits + 1;

  always @(negedge clk) $display("t=%0d state=%0d last=%0d visits=%0d ring=%0h", $time, state, last, visits, ring);

  initial begin
    #12 rst = 0;
    #120 $finish;
  end
endmodule
