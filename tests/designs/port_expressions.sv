// Input ports connected to expressions (a sum, a part select, a
// concatenation, a comparison) follow those expressions as an assign would.
`timescale 1ns/1ps
module port_expressions;
  logic [7:0] x = 8'd4, wide = 8'hC9;
  logic [1:0] hi = 2'b10, lo = 2'b01;
  wire [7:0] o_sum, o_sel, o_cat, o_cmp;

  pass p_sum(.d(x + 1), .q(o_sum));
  pass p_sel(.d(wide[3:0]), .q(o_sel));
  pass p_cat(.d({hi, lo}), .q(o_cat));
  pass p_cmp(.d(x > 8'd3), .q(o_cmp));

  initial begin
    #1 $display("sum=%0d sel=%0d cat=%0d cmp=%0d", o_sum, o_sel, o_cat, o_cmp);
    x = 8'd1;
    wide = 8'h3E;
    lo = 2'b11;
    #1 $display("sum=%0d sel=%0d cat=%0d cmp=%0d", o_sum, o_sel, o_cat, o_cmp);
    $finish;
  end
endmodule

module pass(input [7:0] d, output [7:0] q);
  assign q = d;
endmodule
