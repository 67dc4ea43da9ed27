// Continuous assignments of every common shape: copies, inversions,
// reductions, logical operators, comparisons, constants, truncation,
// replications, concatenations and net declaration assignments, before and
// after an input changes.
`timescale 1ns/1ps
module continuous_shapes;
  logic a = 1, b = 0;
  logic [7:0] bus = 8'hF0, other = 8'h0F;
  logic [3:0] nib = 4'b0110;
  wire copy, inv, lnot, red_or, red_and, red_xor, both, either, eq, lt, konst, low_bit;
  wire [7:0] vcopy, vconst, vrepl, vsig_repl, vinv;
  wire [15:0] vcat;
  wire net_or = a | b;
  wire [7:0] net_copy = bus;
  assign copy = a;
  assign inv = ~a;
  assign lnot = !bus;
  assign red_or = |bus;
  assign red_and = &bus;
  assign red_xor = ^nib;
  assign both = a && b;
  assign either = a || b;
  assign eq = (bus == 8'hF0);
  assign lt = (other < bus);
  assign konst = 1'b1;
  assign low_bit = bus;
  assign vcopy = other;
  assign vconst = 300;
  assign vrepl = {4{2'b01}};
  assign vsig_repl = {2{nib}};
  assign vinv = ~bus;
  assign vcat = {bus, other[3:0], nib};

  task show;
    $display("%0t: copy=%0d inv=%0d lnot=%0d red_or=%0d red_and=%0d red_xor=%0d both=%0d either=%0d",
             $time, copy, inv, lnot, red_or, red_and, red_xor, both, either);
    $display("%0t: eq=%0d lt=%0d konst=%0d low_bit=%0d vcopy=%0h vconst=%0d vrepl=%0h",
             $time, eq, lt, konst, low_bit, vcopy, vconst, vrepl);
    $display("%0t: vsig_repl=%0h vinv=%0h vcat=%0h net_or=%0d net_copy=%0h",
             $time, vsig_repl, vinv, vcat, net_or, net_copy);
  endtask

  initial begin
    #5 show;
    #5 bus = 8'hFF;
    #5 show;
    $finish;
  end
endmodule
