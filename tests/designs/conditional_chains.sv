// Chains of ?: operators, procedural and continuous, with expressions in
// the conditions and the arms and arms of different widths.
`timescale 1ns/1ps
module conditional_chains;
  logic [1:0] sel = 0;
  logic [7:0] a = 8'd10, b = 8'd20, c = 8'd30;
  logic [3:0] nib = 4'hF;
  logic [7:0] y, z;
  wire [7:0] w = sel == 0 ? a : sel == 1 ? b + 1 : sel == 2 ? c - a : 8'd99;
  wire [8:0] m = (a > b) ? a + b : (b > c ? b - c : {1'b1, nib, nib});

  always_comb y = sel[1] ? (sel[0] ? nib : a + nib) : (sel[0] ? b << 1 : ~a);

  initial begin
    #1 z = sel == 0 ? a : sel == 1 ? b : c;
    $display("sel=%0d w=%0d m=%0d y=%0d z=%0d", sel, w, m, y, z);
    sel = 1;
    #1 z = sel == 0 ? a : sel == 1 ? b : c;
    $display("sel=%0d w=%0d m=%0d y=%0d z=%0d", sel, w, m, y, z);
    sel = 2;
    a = 8'd50;
    #1 z = (sel == 0 ? a : sel == 1 ? b : c) + (a > 40 ? 8'd1 : 8'd2);
    $display("sel=%0d w=%0d m=%0d y=%0d z=%0d", sel, w, m, y, z);
    sel = 3;
    b = 8'd40;
    c = 8'd5;
    #1 z = sel == 3 ? (a < b ? 8'd1 : 8'd2) : 8'd3;
    $display("sel=%0d w=%0d m=%0d y=%0d z=%0d", sel, w, m, y, z);
    $finish;
  end
endmodule
