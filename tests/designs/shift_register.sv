// A serial-in shift register fed one bit per clock from a task, with its
// parallel output checked after each byte.
`timescale 1ns/1ps
module shift_register;
  logic clk = 0, din = 0;
  logic [7:0] sr = 0;
  logic [7:0] pattern = 0;
  logic top_bit = 0;

  always #5 clk = ~clk;
  always @(posedge clk) sr <= {sr[6:0], din};

  task send_bit(input logic b);
    din = b;
    #10;
  endtask

  initial begin
    #2;
    send_bit(1); send_bit(0); send_bit(1); send_bit(1);
    send_bit(0); send_bit(0); send_bit(1); send_bit(0);
    pattern = sr;
    $display("t=%0d sr=%0h", $time, pattern);
    send_bit(1); send_bit(1);
    top_bit = sr[7];
    $display("t=%0d sr=%0h msb=%0d", $time, sr, top_bit);
    $finish;
  end
endmodule
