// Functions with output and inout arguments: each formal is storage of the
// call, an inout one copied in from its actual when the call starts, and
// every output and inout copied out to its actual, as an assignment would,
// when the function returns: in an expression, as a statement (a void
// function) and under void'(...). Actuals may be selects, concatenations
// and the locals of another function.
// Expected output: Verilator
// Icarus 11 refuses function arguments that are not inputs; the output
// below follows IEEE 1800 13.4 by hand and is checked with Verilator.
module function_output_arguments;
  bit [7:0] hi = 0, lo = 0, x = 0, acc = 8'd10;
  bit [15:0] word = 0;
  bit [3:0] nib = 0;
  bit signed [3:0] m4 = 0;
  int total = 0;

  // Two outputs and a result.
  function automatic bit [7:0] split(input bit [15:0] w, output bit [7:0] h,
                                     output bit [7:0] l);
    h = w[15:8];
    l = w[7:0];
    return h ^ l;
  endfunction

  // An inout: read, changed, written back.
  function automatic void bump(inout bit [7:0] c, input bit [7:0] by);
    c = c + by;
  endfunction

  // A signed output.
  function automatic bit neg(input bit [3:0] v, output bit signed [3:0] m);
    m = -v;
    return v != 0;
  endfunction

  // Outputs of one call landing in the locals of another.
  function automatic int sum_halves(input bit [15:0] w);
    bit [7:0] a, b;
    void'(split(w, a, b));
    return a + b;
  endfunction

  initial begin
    x = split(16'h1234, hi, lo);
    $display("x=%0h hi=%0h lo=%0h", x, hi, lo);
    bump(acc, 8'd5);
    bump(acc, acc);
    $display("acc=%0d", acc);
    void'(split(16'habcd, word[15:8], word[7:0]));
    $display("word=%0h", word);
    x = split(16'h0f0e, {nib, word[3:0]}, lo) + 8'd1;
    $display("x=%0h nib=%0h word=%0h lo=%0h", x, nib, word, lo);
    if (neg(4'd3, m4))
      $display("m4=%0d", m4);
    total = sum_halves(16'h0102) + sum_halves(16'h1010);
    $display("total=%0d", total);
    $finish;
  end
endmodule
