// A Moore state machine with enum states that detects the serial pattern
// 1-0-1, driven by a stimulus task and checked against the expected count.
`timescale 1ns/1ps
module sequence_detector;
  typedef enum logic [1:0] {S0, S1, S10, S101} state_t;
  state_t state = S0, next = S0;
  logic clk = 0, rst = 1, din = 0;
  logic [7:0] found = 0;
  wire hit;

  always #5 clk = ~clk;

  always_comb begin
    case (state)
      S0: if (din) next = S1; else next = S0;
      S1: if (din) next = S1; else next = S10;
      S10: if (din) next = S101; else next = S0;
      S101: if (din) next = S1; else next = S10;
      default: next = S0;
    endcase
  end

  always_ff @(posedge clk)
    if (rst) state <= S0;
    else state <= next;

  assign hit = state == S101;

  always @(posedge clk)
    if (hit) found <= found + 1;

  task feed(input logic b);
    din = b;
    #10;
  endtask

  initial begin
    #12 rst = 0;
    feed(1); feed(0); feed(1); feed(0); feed(1);
    feed(1); feed(0); feed(0); feed(1); feed(0);
    feed(1); feed(0);
    $display("found=%0d state=%0d", found, state);
    if (found == 3) $display("PASS");
    else $display("FAIL");
    $finish;
  end
endmodule
