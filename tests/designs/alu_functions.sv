// An ALU built from a case on the opcode inside a function, checked for
// every operation by a task that compares with the wanted result.
`timescale 1ns/1ps
module alu_functions;
  localparam logic [2:0] ADD = 0, SUB = 1, AND_OP = 2, OR_OP = 3, XOR_OP = 4, SHL = 5;
  logic [7:0] a = 0, b = 0, y = 0;
  logic [2:0] op = 0;
  logic [7:0] errors = 0;

  function automatic [7:0] alu(input [2:0] code, input [7:0] x, input [7:0] z);
    case (code)
      ADD: alu = x + z;
      SUB: alu = x - z;
      AND_OP: alu = x & z;
      OR_OP: alu = x | z;
      XOR_OP: alu = x ^ z;
      SHL: alu = x << z;
      default: alu = 0;
    endcase
  endfunction

  task check(input [2:0] code, input [7:0] x, input [7:0] z, input [7:0] want);
    op = code;
    a = x;
    b = z;
    y = alu(op, a, b);
    if (y != want) begin
      errors = errors + 1;
      $display("op=%0d a=%0d b=%0d got %0d want %0d", op, a, b, y, want);
    end
  endtask

  initial begin
    check(ADD, 8'd100, 8'd55, 8'd155);
    check(ADD, 8'd200, 8'd100, 8'd44);
    check(SUB, 8'd5, 8'd7, 8'd254);
    check(AND_OP, 8'hF0, 8'h3C, 8'h30);
    check(OR_OP, 8'hF0, 8'h0C, 8'hFC);
    check(XOR_OP, 8'hFF, 8'h0F, 8'hF0);
    check(SHL, 8'd3, 8'd4, 8'd48);
    check(7, 8'd3, 8'd4, 8'd0);
    $display("checked, errors=%0d", errors);
    $finish;
  end
endmodule
