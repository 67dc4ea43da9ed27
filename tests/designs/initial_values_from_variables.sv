// Variables declared with a value that reads other variables, parameters or
// functions take it once, before any process starts, in declaration order:
// processes see it from the start and no event marks it, continuous
// assignments and always_comb blocks start from it, and each instance
// computes its own from its own parameters and variables. A static variable
// of a named block does the same.
module initial_values_from_variables_leaf #(parameter int W = 2);
  logic [7:0] base = 8'd5;
  logic [7:0] scaled = W * base + 1;
  initial #2 $display("%m: scaled=%0d", scaled);
endmodule

module initial_values_from_variables;
  localparam int P = 3;
  logic b = 1;
  logic c2 = b;
  logic [3:0] k = 2, c3 = k + 1;
  logic [3:0] e1 = 1, e2 = e1 + 1, e3 = e2 + e1;
  logic [7:0] from_param = P * k;
  integer neg = -k;
  logic [7:0] wraps = 8'd250 + k * 4;

  function automatic logic [7:0] twice(input logic [7:0] x);
    return x * 2;
  endfunction
  logic [7:0] of_call = twice(k), of_constant_call = twice(P);

  wire [3:0] next_c3 = c3 + 1;
  logic [3:0] combed;
  always_comb combed = c3 * 2;
  always @(c3) $display("%0t: c3 changed to %0d", $time, c3);

  initial_values_from_variables_leaf #(.W(4)) wide();
  initial_values_from_variables_leaf narrow();

  initial begin : main
    static logic [3:0] in_block = c3 + e3;
    $display("in_block=%0d", in_block);
    $display("c2=%0d c3=%0d e=%0d,%0d,%0d from_param=%0d neg=%0d wraps=%0d",
             c2, c3, e1, e2, e3, from_param, neg, wraps);
    $display("of_call=%0d of_constant_call=%0d", of_call, of_constant_call);
    #1 $display("next_c3=%0d combed=%0d", next_c3, combed);
    #2 c3 = 4'd9;
    #1 $finish;
  end
endmodule
