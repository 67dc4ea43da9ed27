// Functions with if, case, local variables, early return and calls of other
// functions, used from procedural code, continuous assignments and other
// functions' arguments.
`timescale 1ns/1ps
module function_control;
  logic [7:0] a = 8'd12, b = 8'd40, c = 8'd25;
  logic [1:0] mode = 0;
  wire [7:0] biggest = max3(a, b, c);
  wire [3:0] ones = popcount(a ^ b);

  function automatic [7:0] max2(input [7:0] p, input [7:0] q);
    if (p > q) return p;
    return q;
  endfunction

  function automatic [7:0] max3(input [7:0] p, input [7:0] q, input [7:0] r);
    max3 = max2(max2(p, q), r);
  endfunction

  function automatic [3:0] popcount(input [7:0] v);
    logic [3:0] n;
    n = v[0] + v[1] + v[2] + v[3];
    n = n + v[4] + v[5] + v[6] + v[7];
    return n;
  endfunction

  function automatic [7:0] apply(input [1:0] op, input [7:0] p, input [7:0] q);
    logic [7:0] t;
    case (op)
      2'd0: t = p + q;
      2'd1: begin
        if (p < q) return 8'd0;
        t = p - q;
      end
      2'd2: t = max2(p, q) - popcount(p);
      default: t = {p[3:0], q[3:0]};
    endcase
    return t + 8'd1;
  endfunction

  function automatic logic is_even(input [7:0] v);
    return !v[0];
  endfunction

  initial begin
    #1 $display("biggest=%0d ones=%0d", biggest, ones);
    $display("apply: %0d %0d %0d %0d %0d", apply(0, a, b), apply(1, a, b), apply(1, b, a),
             apply(2, a, b), apply(3, a, b));
    $display("even: %0d %0d %0d", is_even(a), is_even(c), is_even(apply(0, a, c)));
    $display("nested: %0d", max3(popcount(a), apply(mode, a, 8'd1), max2(c, 8'd3) >> 1));
    c = 8'd99;
    a = 8'hFF;
    #1 $display("biggest=%0d ones=%0d", biggest, ones);
    $finish;
  end
endmodule
