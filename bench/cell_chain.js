#!/usr/bin/env node
// Writes the cell-chain testbench: N cells under one clock, each with an 8-bit
// counter, a three-state machine and a four-stage shift register fed by the
// cell before it. After the given number of clock cycles every cell prints its
// values and the testbench prints a checksum chained through all cells, then
// finishes. Only constructs the engine models are used, so both simulators must
// print the same lines.
//
//   node bench/cell_chain.js N CYCLES > chain.sv
'use strict';

const HALF_PERIOD = 5;

function cellModule(reportTime) {
  return `module chain_cell #(parameter ID = 0) (
  input logic clk,
  input logic din,
  input logic [7:0] sum_in,
  output logic dout,
  output logic [7:0] sum_out
);
  logic [7:0] count = 0;
  logic [1:0] state = 0;
  logic s0 = 0;
  logic s1 = 0;
  logic s2 = 0;
  logic s3 = 0;
  logic [7:0] sum = 0;
  assign dout = s3;
  assign sum_out = sum;

  always @(posedge clk) if (din) count <= count + 1;

  always @(posedge clk)
    case (state)
      2'd0: if (din) state <= 2'd1;
      2'd1: state <= 2'd2;
      default: state <= 2'd0;
    endcase

  always @(posedge clk) begin
    s0 <= din;
    s1 <= s0;
    s2 <= s1;
    s3 <= s2;
  end

  always @(posedge clk) sum <= sum_in + count;

  initial #${reportTime} $display("cell %0d: count=%0d state=%0d shift=%0d%0d%0d%0d sum=%0d",
                                  ID, count, state, s0, s1, s2, s3, sum);
endmodule
`;
}

function cellChain(cells, cycles) {
  const reportTime = 2 * HALF_PERIOD * cycles;
  const lines = ['`timescale 1ns/1ps', cellModule(reportTime), 'module top;',
    '  logic clk = 0;', '  logic seed = 0;', '  logic [1:0] phase = 0;'];
  for (let i = 0; i <= cells; ++i) lines.push(`  logic d${i};`, `  logic [7:0] c${i};`);
  lines.push('  assign d0 = seed;', "  assign c0 = 8'd0;");
  lines.push(`  always #${HALF_PERIOD} clk = ~clk;`, '  always @(posedge clk)', '    case (phase)', "      2'd0: phase <= 2'd1;",
    "      2'd1: phase <= 2'd2;", "      default: phase <= 2'd0;", '    endcase',
    "  always @(posedge clk) if (phase == 2'd0) seed <= 1'b1; else seed <= 1'b0;");
  for (let i = 0; i < cells; ++i) {
    lines.push(`  chain_cell #(.ID(${i})) u${i}(.clk(clk), .din(d${i}), .sum_in(c${i}), ` +
               `.dout(d${i + 1}), .sum_out(c${i + 1}));`);
  }
  lines.push('  initial begin', `    #${reportTime + 1} $display("checksum=%0d", c${cells});`,
    '    #1 $finish;', '  end', 'endmodule', '');
  return lines.join('\n');
}

module.exports = { cellChain, HALF_PERIOD };

if (require.main === module) {
  const [cells, cycles] = process.argv.slice(2).map(Number);
  if (!(cells >= 1 && cycles >= 1)) {
    console.error('usage: node bench/cell_chain.js CELLS CYCLES');
    process.exit(2);
  }
  process.stdout.write(cellChain(cells, cycles));
}
