// Output ports bound to part selects, bit selects and concatenations of the
// parent's signals.
`timescale 1ns/1ps
module output_port_selects;
  logic [3:0] x = 4'd3, y = 4'd12;
  logic [7:0] bus;
  logic [3:0] hi, lo;
  logic [1:0] pair;
  logic carry;
  wire [7:0] bus2;

  nibble_op u_lo(.a(x), .b(y), .sum(bus[3:0]), .diff(bus[7:4]), .c(pair[0]));
  nibble_op u_hi(.a(y), .b(x), .sum({hi[1:0], lo[3:2]}), .diff({hi[3:2], lo[1:0]}), .c(pair[1]));
  nibble_op u_cat(.a(x), .b(x), .sum(bus2[7:4]), .diff(bus2[3:0]), .c(carry));

  initial begin
    #1 $display("bus=%0h hi=%0h lo=%0h pair=%0d bus2=%0h carry=%0d", bus, hi, lo, pair, bus2, carry);
    x = 4'd9;
    y = 4'd7;
    #1 $display("bus=%0h hi=%0h lo=%0h pair=%0d bus2=%0h carry=%0d", bus, hi, lo, pair, bus2, carry);
    $finish;
  end
endmodule

module nibble_op(input logic [3:0] a, input logic [3:0] b, output logic [3:0] sum,
                 output logic [3:0] diff, output logic c);
  assign {c, sum} = a + b;
  assign diff = a - b;
endmodule
