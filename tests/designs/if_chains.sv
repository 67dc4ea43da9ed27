// if/else chains, nested ifs and comparisons in clocked blocks: slices
// compare as unsigned numbers with every operator, a comparison is signed
// only when both sides are, and a literal keeps its own value rather than
// being cut to the signal's width.
`timescale 1ns/1ps
module if_chains;
  logic clk = 0;
  logic [7:0] sel = 0;
  logic a = 0, b = 0;
  logic [1:0] chain = 0;
  logic [7:0] nested = 0;
  logic [7:0] x = 0;
  logic eq = 0, ne = 0, lt = 0, le = 0, gt = 0, ge = 0;
  logic signed [7:0] s = -8'sd3;
  logic [7:0] u = 8'd1, big = 8'd200;
  logic [2:0] cnt = 3'd7;
  logic neg = 0, unsigned_mix = 0, cast_mix = 0, wide = 0, never = 0, below_eight = 0;

  always #5 clk = ~clk;

  initial begin
    #10 sel = 1; a = 1; x = 8'hF9;
    #10 sel = 2; b = 1; x = 8'h05;
    #10 sel = 7; a = 0; x = 8'h0C;
  end

  always @(posedge clk)
    if (sel == 1) chain <= 1;
    else if (sel == 2) chain <= 2;
    else chain <= 3;

  always @(posedge clk)
    if (a) begin
      if (b) nested <= 8'd11;
      else nested <= 8'd10;
    end else nested <= 8'd0;

  always @(posedge clk) begin
    if (x[3:0] == 9) eq <= 1; else eq <= 0;
    if (x[3:0] != 9) ne <= 1; else ne <= 0;
    if (x[3:0] < 9) lt <= 1; else lt <= 0;
    if (x[3:0] <= 9) le <= 1; else le <= 0;
    if (x[3:0] > 9) gt <= 1; else gt <= 0;
    if (x[3:0] >= 9) ge <= 1; else ge <= 0;
  end

  always @(posedge clk) begin
    if (s < 0) neg <= 1;
    if (s < u) unsigned_mix <= 1;
    if ($signed(big) < u) cast_mix <= 1;
    if (big < 300) wide <= 1;
    if (big == 456) never <= 1;
    if (cnt < 8) below_eight <= 1;
  end

  always @(negedge clk)
    $display("%0t: chain=%0d nested=%0d eq=%0d ne=%0d lt=%0d le=%0d gt=%0d ge=%0d", $time, chain, nested,
             eq, ne, lt, le, gt, ge);

  initial begin
    #7 $display("neg=%0d unsigned_mix=%0d cast_mix=%0d wide=%0d never=%0d below_eight=%0d", neg,
                unsigned_mix, cast_mix, wide, never, below_eight);
    #34 $finish;
  end
endmodule
