// %c prints a character (the value's low byte); %e, %f and %g print the
// integral value as a real number with C's formats, widths and precisions
// (signed values stay negative); %v prints strength and value per bit: St
// for anything driven, Su for a supply net.
`timescale 1ns/1ps
module display_real_char_strength;
  logic [7:0] letter = 8'd65;
  logic [15:0] pair_of_letters = 16'h4142;
  integer five = 5, minus_twelve = -12;
  logic signed [7:0] minus_three = -3;
  logic [63:0] big = 64'd123456789012;
  logic [63:0] all_ones = 64'hffffffffffffffff;
  logic [3:0] nibble = 4'b1010;
  logic one = 1, zero = 0;
  wire follows_one = one;
  supply1 vdd;
  supply0 gnd;

  initial begin
    $display("[%c][%c][%c%c%c][%c]", letter, pair_of_letters, "abc", 8'd104, 8'd105, 300);
    $display("[%f][%5.2f][%e][%g][%f]", five, five, five, five, minus_twelve);
    $display("[%10.3e][%-10.1f|][%.0f][%0f][%0e][%0g]", five, five, five, five, five, five);
    $display("[%08.3f][%05.1f][%-05.1f|][%.10f]", five, 8'd5, 8'd5, 1);
    $display("[%f][%f][%g][%g][%e]", minus_three, big, big, 1000000, all_ones);
    $display("[%10.4g][%-8.2e|][%G][%E][%F]", 12345, five, five, five, five);
    $display("[%f][%f][%g]", 3'b111, -8'sd1, -64'sd9223372036854775807);
    $display("[%v][%v][%v][%v][%v]", one, zero, nibble, follows_one, minus_three);
    $display("[%v][%v][%v][%v]", vdd, gnd, one & vdd, {one, gnd});
    #1 letter = 8'd122;
    $write("%c", letter);
    $display("%c", letter - 8'd1);
  end
endmodule
