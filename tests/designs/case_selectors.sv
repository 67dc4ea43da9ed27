// case over 1-, 8- and 64-bit selectors: several expressions in one item, a
// parameter, a signal and the default as items, an if nested in the
// default arm, and a case without a default that leaves its target alone.
`timescale 1ns/1ps
module case_selectors;
  localparam logic [7:0] MAGIC = 8'h42;
  logic clk = 0;
  logic s1 = 0;
  logic [7:0] s8 = 0;
  logic [7:0] other = 8'h07;
  logic [63:0] s64 = 0;
  logic [1:0] o1 = 0;
  logic [7:0] o8 = 0, o64 = 0, nodefault = 0;

  always #5 clk = ~clk;

  initial begin
    #10 s1 = 1; s8 = 3;    s64 = 64'h8000_0000_0000_0000;
    #10 s1 = 0; s8 = 8'h42; s64 = 64'hFFFF_FFFF_FFFF_FFFF;
    #10 s8 = 7;            s64 = 5;
    #10 s8 = 200;          s64 = 64'h1234;
  end

  always @(posedge clk)
    case (s1)
      1'b0: o1 <= 1;
      1'b1: o1 <= 2;
    endcase

  always @(posedge clk)
    case (s8)
      1, 2, 3: o8 <= 8'd10;
      MAGIC:   o8 <= 8'd20;
      other:   o8 <= 8'd30;
      default: o8 <= 8'd99;
    endcase

  always @(posedge clk)
    case (s64)
      64'h8000_0000_0000_0000: o64 <= 1;
      64'hFFFF_FFFF_FFFF_FFFF, 5: o64 <= 2;
      default: begin
        if (s64 == 0) o64 <= 3;
        else o64 <= 4;
      end
    endcase

  always @(posedge clk)
    case (s8)
      3: nodefault <= 8'd3;
      7: nodefault <= 8'd7;
    endcase

  always @(negedge clk) $display("%0t: o1=%0d o8=%0d o64=%0d nodefault=%0d", $time, o1, o8, o64, nodefault);

  initial #52 $finish;
endmodule
