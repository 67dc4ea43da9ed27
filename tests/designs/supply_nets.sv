// supply0 and supply1 nets hold 0 and 1, and can feed ports and logic.
`timescale 1ns/1ps
module supply_nets;
  supply0 gnd;
  supply1 vdd;
  logic [7:0] hits = 0;
  wire both, either;

  assign both = vdd & gnd;
  assign either = vdd | gnd;

  initial begin
    #1 $display("gnd=%0d vdd=%0d both=%0d either=%0d", gnd, vdd, both, either);
    if (vdd) hits = hits + 1;
    if (gnd) hits = hits + 2;
    $display("hits=%0d", hits);
    $finish;
  end
endmodule
