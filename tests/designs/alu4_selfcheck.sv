// A 4-bit ALU with carry, zero and negative flags, checked by a task that
// computes the wanted result itself and counts mismatches.
`timescale 1ns/1ps
module alu4_selfcheck;
  logic [3:0] a = 0, b = 0;
  logic [2:0] op = 0;
  wire [3:0] y;
  wire carry, zero, negative;
  logic [7:0] errors = 0, checks = 0;

  alu4 dut(.a(a), .b(b), .op(op), .y(y), .carry(carry), .zero(zero), .negative(negative));

  function automatic [4:0] model(input [2:0] code, input [3:0] p, input [3:0] q);
    case (code)
      3'd0: model = p + q;
      3'd1: model = {1'b0, p} - {1'b0, q};
      3'd2: model = {1'b0, p & q};
      3'd3: model = {1'b0, p | q};
      3'd4: model = {1'b0, p ^ q};
      3'd5: model = {p, 1'b0};
      3'd6: model = {p[0], 1'b0, p[3:1]};
      default: model = {1'b0, ~p};
    endcase
  endfunction

  task check(input [2:0] code, input [3:0] p, input [3:0] q);
    logic [4:0] want;
    op = code;
    a = p;
    b = q;
    want = model(code, p, q);
    #1 checks = checks + 1;
    if (y != want[3:0] || carry != want[4] || zero != (want[3:0] == 0) || negative != want[3]) begin
      errors = errors + 1;
      $display("op=%0d a=%0d b=%0d: y=%0d c=%0d z=%0d n=%0d, want %0d", op, a, b, y, carry, zero, negative, want);
    end else begin
      $display("op=%0d a=%0d b=%0d: y=%0d c=%0d z=%0d n=%0d", op, a, b, y, carry, zero, negative);
    end
  endtask

  initial begin
    check(0, 4'd7, 4'd8);
    check(0, 4'd9, 4'd9);
    check(1, 4'd3, 4'd5);
    check(1, 4'd5, 4'd5);
    check(2, 4'b1100, 4'b1010);
    check(3, 4'b1100, 4'b0011);
    check(4, 4'b1111, 4'b0101);
    check(5, 4'b1001, 4'd0);
    check(6, 4'b0011, 4'd0);
    check(7, 4'b0110, 4'd0);
    $display("checks=%0d errors=%0d", checks, errors);
    $finish;
  end
endmodule

module alu4(input logic [3:0] a, input logic [3:0] b, input logic [2:0] op,
            output logic [3:0] y, output logic carry, output logic zero, output logic negative);
  always_comb begin
    carry = 0;
    case (op)
      3'd0: {carry, y} = a + b;
      3'd1: {carry, y} = {1'b0, a} - {1'b0, b};
      3'd2: y = a & b;
      3'd3: y = a | b;
      3'd4: y = a ^ b;
      3'd5: {carry, y} = {a, 1'b0};
      3'd6: {carry, y} = {a[0], 1'b0, a[3:1]};
      default: y = ~a;
    endcase
  end
  assign zero = y == 4'd0;
  assign negative = y[3];
endmodule
