#!/usr/bin/env node
// Writes a testbench that prints: one clocked block with a counter, a
// sixteen-bit shift register with feedback and a sum prints four lines at
// every rising clock edge, then the testbench finishes. The lines read the
// values before the edge's updates, so every simulator prints the same ones.
//
//   node bench/printing_bench.js CYCLES > print.sv
'use strict';

const HALF_PERIOD = 5;

function printingBench(cycles) {
  return `\`timescale 1ns/1ps
module top;
  logic clk = 0;
  logic [31:0] cycle = 0;
  logic [15:0] lfsr = 16'hace1;
  logic [1:0] state = 0;
  logic [23:0] sum = 0;
  always #${HALF_PERIOD} clk = ~clk;
  always @(posedge clk) begin
    $display("t=%0d cycle=%0d", $time, cycle);
    $display("  lfsr=%0h state=%0d", lfsr, state);
    $display("  low=%0b parity=%0d", lfsr[7:0], ^lfsr);
    $display("  sum=%0d", sum);
    cycle <= cycle + 1;
    lfsr <= {lfsr[14:0], lfsr[15] ^ lfsr[13] ^ lfsr[12] ^ lfsr[10]};
    state <= state == 2'd2 ? 2'd0 : state + 2'd1;
    sum <= sum + lfsr;
  end
  initial begin
    #${2 * HALF_PERIOD * cycles} $finish;
  end
endmodule
`;
}

module.exports = { printingBench };

if (require.main === module) {
  const cycles = Number(process.argv[2]);
  if (!(cycles >= 1)) {
    console.error('usage: node bench/printing_bench.js CYCLES');
    process.exit(2);
  }
  process.stdout.write(printingBench(cycles));
}
