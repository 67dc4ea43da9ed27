// An output variable port declared with a value passes it to the connected
// net from time 0, until the module writes the port. A parameter computed
// by a constant function that writes its result through a concatenation
// target keeps its sign, in the parameter and in constants built on it.
// Working a parameter out prints nothing, and constant functions the model
// leaves out (a loop, recursion) still give their parameters.
`timescale 1ns/1ps
module flop_with_start(input logic clk, output reg q = 1'b1, output logic [3:0] count = 4'd9);
  always @(posedge clk) begin
    q <= ~q;
    count <= count + 4'd1;
  end
endmodule

module port_initial_values_and_constant_functions;
  function automatic signed [7:0] negate(input signed [7:0] v);
    logic signed [7:0] t;
    {t} = -v;
    return t;
  endfunction

  function automatic signed [7:0] negate_half(input signed [7:0] v);
    logic signed [7:0] t;
    logic [3:0] unused;
    {unused, t} = {4'd0, -v};
    t = t >>> 1;
    return t;
  endfunction

  function integer loud(input integer v);
    $display("loud(%0d)", v);
    loud = v + 1;
  endfunction

  function integer log2(input integer v);
    integer k;
    log2 = 0;
    for (k = v; k > 1; k = k / 2) log2 = log2 + 1;
  endfunction

  function automatic integer factorial(input integer n);
    factorial = n <= 1 ? 1 : n * factorial(n - 1);
  endfunction

  localparam integer QUIET = loud(4);
  localparam integer LOG = log2(64);
  localparam integer FACT = factorial(5);
  localparam signed [15:0] WIDE = negate(8'sd5);
  localparam integer DOUBLED = WIDE * 2;
  localparam integer HALF = negate_half(8'sd6);
  localparam NARROW = negate(8'sd3);
  localparam logic [15:0] UNSIGNED_WIDE = negate(8'sd1);

  logic clk = 0;
  wire q_net;
  wire [3:0] count_net;
  logic signed [15:0] wide_copy = 0;
  flop_with_start u(.clk(clk), .q(q_net), .count(count_net));

  initial begin
    $display("at 0: q=%0d count=%0d", q_net, count_net);
    $display("WIDE=%0d DOUBLED=%0d HALF=%0d NARROW=%0d UNSIGNED_WIDE=%0d",
             WIDE, DOUBLED, HALF, NARROW, UNSIGNED_WIDE);
    $display("QUIET=%0d LOG=%0d FACT=%0d", QUIET, LOG, FACT);
    wide_copy = NARROW;
    $display("run time: %0d %0d copy=%0d below zero=%0d", negate(8'sd5), negate_half(8'sd6),
             wide_copy, WIDE < 0);
    #5 clk = 1;
    #1 $display("at 6: q=%0d count=%0d", q_net, count_net);
    #4 clk = 0;
    #5 clk = 1;
    #1 $display("at 16: q=%0d count=%0d", q_net, count_net);
    $finish;
  end
endmodule
