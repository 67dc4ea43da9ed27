// Reduction operators applied to expressions, in assignments, in
// conditions and in continuous assignments.
`timescale 1ns/1ps
module reduction_expressions;
  logic [7:0] a = 8'hF0, b = 8'h0F, mask = 8'h3C;
  logic r_and, r_or, r_xor, r_nand, r_nor, r_xnor, mixed;
  wire all_set = &(a | b);
  wire any_masked = |(a & mask & b);
  wire parity = ^{a[3:0], b[7:4]};

  task show;
    $display("and=%0d or=%0d xor=%0d nand=%0d nor=%0d xnor=%0d mixed=%0d all=%0d any=%0d parity=%0d",
             r_and, r_or, r_xor, r_nand, r_nor, r_xnor, mixed, all_set, any_masked, parity);
  endtask

  task compute;
    r_and = &(a | b);
    r_or = |(a & b);
    r_xor = ^(a ^ mask);
    r_nand = ~&(a + b);
    r_nor = ~|(a & mask);
    r_xnor = ~^(b - 8'd1);
    mixed = &a[7:4] | ^b & |mask;
  endtask

  initial begin
    #1 compute;
    show;
    a = 8'h81;
    b = 8'h42;
    #1 compute;
    show;
    if (|(a & b)) $display("overlap");
    else $display("no overlap");
    if (^(a + b + 8'd1) && !(&(a | b))) $display("odd sum, not all ones");
    $finish;
  end
endmodule
