// Signals declared in for and if generate blocks belong to their block: each
// block has its own copy.
`timescale 1ns/1ps
module generate_names;
  parameter USE_FAST = 1;
  logic clk = 0;
  wire [7:0] first, second, chosen;

  always #5 clk = ~clk;

  for (genvar i = 0; i < 2; i++) begin : g
    localparam logic [7:0] STEP = i + 1;
    logic [7:0] x = 0;
    always @(posedge clk) x <= x + STEP;
  end

  if (USE_FAST) begin : fast
    logic [7:0] y = 0;
    always @(posedge clk) y <= y + 10;
  end else begin : slow
    logic [7:0] y = 0;
    always @(posedge clk) y <= y + 1;
  end

  assign first = g[0].x;
  assign second = g[1].x;
  assign chosen = fast.y;

  initial begin
    #32 $display("first=%0d second=%0d chosen=%0d", first, second, chosen);
    $finish;
  end
endmodule
