// Format specifiers whose output agrees across simulators: %0d, %0h, %0x,
// explicit widths, %%, signed values, $write pieces ending in a newline and
// $time. (Plain %d, %o and %b pad or trim differently in the engine; they
// are left out here.)
`timescale 1ns/1ps
module display_formats;
  logic [7:0] a = 8'h2A;
  logic [15:0] w = 16'd513;
  logic signed [7:0] s = -8'sd3;
  logic [31:0] big = 32'hDEADBEEF;
  logic [63:0] huge = 64'h0123456789ABCDEF;

  initial begin
    $display("[%0d] [%5d] [%2d]", a, a, a);
    $display("[%0h] [%4h] [%0x] [%x]", a, a, a, a);
    $display("[%0d] [%6d] 100%%", s, s);
    $display("big=%0h big=%0d huge=%0h", big, big, huge);
    $write("w=%0d ", w);
    $write("a=%0h", a);
    $write("\n");
    #7 $display("t=%0d", $time);
    $display("%0d%0d|%0h", a, w, w);
    $finish;
  end
endmodule
