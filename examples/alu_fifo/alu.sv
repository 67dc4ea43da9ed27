`timescale 1ns/1ps
// An 8-bit ALU with a registered result, a carry/borrow bit and flags
// computed by a small child module.

// Operation codes, shared with the testbench.
package alu_pkg;
  localparam logic [2:0] OP_ADD = 3'd0;
  localparam logic [2:0] OP_SUB = 3'd1;
  localparam logic [2:0] OP_AND = 3'd2;
  localparam logic [2:0] OP_OR  = 3'd3;
  localparam logic [2:0] OP_XOR = 3'd4;
  localparam logic [2:0] OP_SHL = 3'd5;
  localparam logic [2:0] OP_SHR = 3'd6;
  localparam logic [2:0] OP_MAX = 3'd7;
endpackage

// Status flags of a result.
module alu_flags (
  input  logic [7:0] value,
  output logic       zero,
  output logic       odd
);
  assign zero = ~|value;
  assign odd  = ^value;
endmodule

module alu
  import alu_pkg::*;
(
  input  logic       clk,
  input  logic       rst_n,
  input  logic       valid,
  input  logic [2:0] op,
  input  logic [7:0] a,
  input  logic [7:0] b,
  output logic [7:0] y,
  output logic       carry,
  output logic       zero,
  output logic       odd
);
  // The larger of two unsigned bytes.
  function logic [7:0] max8(input logic [7:0] x, input logic [7:0] z);
    if (x > z)
      max8 = x;
    else
      max8 = z;
  endfunction

  logic [8:0] sum, diff;   // bit 8 is the carry, the borrow
  logic [7:0] result;
  logic       carry_out;

  assign sum  = a + b;
  assign diff = a - b;

  always_comb begin
    case (op)
      OP_ADD:  result = sum[7:0];
      OP_SUB:  result = diff[7:0];
      OP_AND:  result = a & b;
      OP_OR:   result = a | b;
      OP_XOR:  result = a ^ b;
      OP_SHL:  result = a << 1;
      OP_SHR:  result = a >> 1;
      default: result = max8(a, b);
    endcase
  end

  always_comb begin
    case (op)
      OP_ADD:  carry_out = sum[8];
      OP_SUB:  carry_out = diff[8];
      OP_SHL:  carry_out = a[7];
      default: carry_out = 1'b0;
    endcase
  end

  always @(posedge clk or negedge rst_n) begin
    if (!rst_n) begin
      y     <= 8'd0;
      carry <= 1'b0;
    end else if (valid) begin
      y     <= result;
      carry <= carry_out;
    end
  end

  alu_flags u_flags (.value(y), .zero(zero), .odd(odd));

  // The maximum is never below either operand.
  a_max_result: assert property (@(posedge clk) disable iff (!rst_n)
                                 (op == OP_MAX) |-> (result >= a && result >= b));
endmodule
