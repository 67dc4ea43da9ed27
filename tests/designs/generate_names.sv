// Signals declared in for and if generate blocks belong to their block: each
// block counts in its own copy and reports when its copy reaches 6.
`timescale 1ns/1ps
module generate_names;
  parameter USE_FAST = 1;
  localparam logic [7:0] TARGET = 8'd6;
  logic clk = 0;

  always #5 clk = ~clk;

  for (genvar i = 0; i < 2; i++) begin : g
    localparam logic [7:0] STEP = i + 1;
    logic [7:0] x = 0;
    always @(posedge clk) x <= x + STEP;
    always @(x)
      if (x == TARGET) $display("t=%0d block with step %0d reached %0d", $time, STEP, x);
  end

  if (USE_FAST) begin : fast
    logic [7:0] y = 0;
    always @(posedge clk) y <= y + 3;
    always @(y)
      if (y == TARGET) $display("t=%0d fast block reached %0d", $time, y);
  end else begin : slow
    logic [7:0] y = 0;
    always @(posedge clk) y <= y + 1;
    always @(y)
      if (y == TARGET) $display("t=%0d slow block reached %0d", $time, y);
  end

  initial #70 $finish;
endmodule
