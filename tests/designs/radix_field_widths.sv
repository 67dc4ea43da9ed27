// Binary, octal and hexadecimal conversions with a field width: the value
// prints every digit of its width, then pads to the field with spaces (or
// zeros, or on the right); a field narrower than the value widens to it;
// the width 0 drops leading zeros.
module radix_field_widths;
  logic [7:0] v = 8'h0C;
  logic [3:0] n = 4'h6;
  logic [11:0] t = 12'h05A;
  logic signed [7:0] s = -2;
  logic [63:0] w = 64'h5;
  initial begin
    $display("[%8b] [%4b] [%6b] [%1b] [%-6b|] [%010b]", v, n, n, n, n, v);
    $display("[%2h] [%3h] [%5h] [%05h] [%-5h|] [%1h] [%4h]", v, t, v, v, v, v, n + 4'h1);
    $display("[%3o] [%4o] [%1o] [%6o]", v, v, t, n);
    $display("[%8h] [%8b] [%20h]", s, s, w);
    $display("[%0b] [%0o] [%0h] [%0b] [%0h]", n, v, t, s, w);
    $display("[%4b] [%3h]", n & 4'h3, {n, v});
    $finish;
  end
endmodule
