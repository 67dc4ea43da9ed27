// Replications of expressions and selects: sign extension written by hand,
// repeated patterns, and replications inside larger concatenations.
`timescale 1ns/1ps
module replication_expressions;
  logic [3:0] s = 4'b1010;
  logic [1:0] p = 2'b01;
  logic [7:0] a = 8'd6;
  logic [7:0] ext, pat;
  logic [15:0] twice, mixed;
  wire [11:0] cont = {3{s ^ 4'b0011}};

  initial begin
    ext = {{4{s[3]}}, s};
    pat = {4{p}};
    twice = {2{a + 8'd1}};
    mixed = {{2{p}}, 4'hF, {2{a[3:0] - 4'd1}}};
    #1 $display("ext=%0h pat=%0h twice=%0h mixed=%0h cont=%0h", ext, pat, twice, mixed, cont);
    s = 4'b0110;
    p = 2'b10;
    ext = {{4{s[3]}}, s} + 8'd1;
    pat = {2{p, ~p}};
    #1 $display("ext=%0h pat=%0h cont=%0h", ext, pat, cont);
    $finish;
  end
endmodule
