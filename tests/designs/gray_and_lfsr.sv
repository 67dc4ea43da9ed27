// Bit-level functions without loops: binary to Gray code and back, and an
// 8-bit LFSR step, each used by a clocked process and checked round trip.
`timescale 1ns/1ps
module gray_and_lfsr;
  logic clk = 0;
  logic [3:0] count = 0;
  logic [3:0] gray, back;
  logic [7:0] lfsr = 8'h01;
  logic [7:0] mismatches = 0;

  function automatic [3:0] to_gray(input [3:0] b);
    return b ^ (b >> 1);
  endfunction

  function automatic [3:0] from_gray(input [3:0] g);
    logic [3:0] b;
    b[3] = g[3];
    b[2] = b[3] ^ g[2];
    b[1] = b[2] ^ g[1];
    b[0] = b[1] ^ g[0];
    return b;
  endfunction

  function automatic [7:0] lfsr_step(input [7:0] v);
    return {v[6:0], v[7] ^ v[5] ^ v[4] ^ v[3]};
  endfunction

  always #5 clk = ~clk;

  always_comb begin
    gray = to_gray(count);
    back = from_gray(gray);
  end

  always @(posedge clk) begin
    count <= count + 1;
    lfsr <= lfsr_step(lfsr);
    if (back != count) mismatches <= mismatches + 1;
  end

  always @(negedge clk) $display("count=%0d gray=%0h lfsr=%0h", count, gray, lfsr);

  initial #105 begin
    $display("mismatches=%0d", mismatches);
    $finish;
  end
endmodule
