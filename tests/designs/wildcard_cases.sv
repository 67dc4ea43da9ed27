// casez and casex items compare only their known bits, the first matching
// item winning as written; a plain case item with unknown bits never
// matches; a 64-bit casez compares the high bits too.
`timescale 1ns/1ps
module wildcard_cases;
  logic clk = 0;
  logic [3:0] sel = 0;
  logic [63:0] wide = 0;
  logic [7:0] z = 0, x = 0, plain = 0, w = 0;

  always #5 clk = ~clk;

  initial begin
    #10 sel = 4'b1010; wide = 64'h1000_0000_0000_00AB;
    #10 sel = 4'b0110; wide = 64'h2000_0000_0000_00AB;
    #10 sel = 4'b0011; wide = 64'h1FFF_FFFF_FFFF_FFAB;
  end

  always @(posedge clk)
    casez (sel)
      4'b1???: z <= 1;
      4'b?11?: z <= 2;
      4'b??1?: z <= 3;
      4'b1x??: z <= 4;
      default: z <= 9;
    endcase

  always @(posedge clk)
    casex (sel)
      4'b1xxx: x <= 1;
      4'bz11z: x <= 2;
      default: x <= 9;
    endcase

  always @(posedge clk)
    case (sel)
      4'b1???: plain <= 1;
      4'bxx1x: plain <= 2;
      default: plain <= 9;
    endcase

  always @(posedge clk)
    casez (wide)
      64'h1???_????_????_??AB: w <= 1;
      default: w <= 9;
    endcase

  always @(negedge clk) $display("%0t: sel=%0h z=%0d x=%0d plain=%0d w=%0d", $time, sel, z, x, plain, w);

  initial #42 $finish;
endmodule
