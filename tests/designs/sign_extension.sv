// A signed source copied into a wider target is sign-extended; an unsigned
// one is zero-extended. Function inputs too.
`timescale 1ns/1ps
module sign_extension;
  logic signed [6:0] s7 = -1;
  logic signed [7:0] s8 = -5;
  logic [6:0] u7 = 7'h7F;
  logic [7:0] from_s7 = 0, from_u7 = 0;
  logic signed [15:0] rs = 0;
  logic [15:0] ru = 0, rf = 0;
  wire [7:0] w_from_s7;

  assign w_from_s7 = s7;

  function automatic [15:0] widen(input signed [15:0] v);
    widen = v;
  endfunction

  initial begin
    from_s7 = s7;
    from_u7 = u7;
    rs = s8;
    ru = s8;
    rf = widen(s8);
    #1;
    $display("from_s7=%0h from_u7=%0h w_from_s7=%0h", from_s7, from_u7, w_from_s7);
    $display("rs=%0d ru=%0d rf=%0h", rs, ru, rf);
    $finish;
  end
endmodule
