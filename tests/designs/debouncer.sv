// A debouncer: the output follows a noisy input only after the input has
// stayed at its new level for four clocks in a row; bounces shorter than
// that are ignored.
`timescale 1ns/1ps
module debouncer;
  logic clk = 0;
  logic noisy = 0;
  logic clean = 0;
  logic [2:0] stable = 0;
  logic sync0 = 0, sync1 = 0;
  logic [7:0] presses = 0;

  always #5 clk = ~clk;

  always @(posedge clk) begin
    sync0 <= noisy;
    sync1 <= sync0;
    if (sync1 == clean) stable <= 0;
    else if (stable == 3'd3) begin
      clean <= sync1;
      stable <= 0;
    end else stable <= stable + 1;
  end

  always @(posedge clean) presses <= presses + 1;
  always @(clean) $display("%0t: clean=%0d", $time, clean);

  task bounce_slow;
    noisy = 1;
    #7 noisy = 0;
    #7 noisy = 1;
    #7 noisy = 0;
  endtask

  task bounce_fast;
    noisy = 1;
    #3 noisy = 0;
    #3 noisy = 1;
    #3 noisy = 0;
  endtask

  initial begin
    #12 bounce_slow;
    #50 bounce_fast;
    noisy = 1;
    #100 noisy = 0;
    #8 noisy = 1;
    #8 noisy = 0;
    #100 bounce_fast;
    noisy = 1;
    #60 $display("presses=%0d clean=%0d", presses, clean);
    $finish;
  end
endmodule
