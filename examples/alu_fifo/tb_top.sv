`timescale 1ns/1ps
// Directed, self-checking testbench for the ALU and the FIFO.
//
// The clock rises at 5, 15, 25, ... ns. Stimulus changes 3 ns before a
// rising edge, together with the values expected from it; the checker
// compares on the following falling edge, when the registers have settled
// and the stimulus has not yet moved on. Its properties sample there too.
module top;
  import alu_pkg::*;

  logic clk = 1'b0;
  logic rst_n = 1'b0;

  // ALU side
  logic       valid = 1'b0;
  logic [2:0] op = OP_ADD;
  logic [7:0] a = 8'd0, b = 8'd0;
  logic [7:0] y;
  logic       carry, zero, odd;
  logic       check_alu = 1'b0;
  logic [7:0] exp_y = 8'd0;
  logic       exp_carry = 1'b0;
  logic [7:0] alu_checks = 8'd0, alu_errors = 8'd0;

  // FIFO side
  logic       push = 1'b0, pop = 1'b0;
  logic [7:0] din = 8'd0;
  logic [7:0] dout;
  logic       full, empty;
  logic [2:0] count;
  logic       check_fifo = 1'b0;
  logic [2:0] exp_count = 3'd0;
  logic [7:0] exp_dout = 8'd0;
  logic [7:0] fifo_checks = 8'd0, fifo_errors = 8'd0;

  logic [7:0] total_checks, total_errors;
  logic       reset_ok = 1'b1;
  assign total_checks = alu_checks + fifo_checks;
  assign total_errors = alu_errors + fifo_errors;

  alu u_alu (
    .clk(clk), .rst_n(rst_n), .valid(valid), .op(op), .a(a), .b(b),
    .y(y), .carry(carry), .zero(zero), .odd(odd)
  );

  fifo4 #(.W(8)) u_fifo (
    .clk(clk), .rst_n(rst_n), .push(push), .pop(pop), .din(din),
    .dout(dout), .full(full), .empty(empty), .count(count)
  );

  always #5 clk = ~clk;

  initial $monitor("%0t: rst_n=%b", $time, rst_n);

  // Requests the FIFO turns away, as it sees them on the clock edge.
  always @(posedge clk) begin
    if (rst_n && push && full)
      $display("%0t fifo refuses push of %h: full", $time, din);
    if (rst_n && pop && empty)
      $display("%0t fifo refuses pop: empty", $time);
  end

  // The checker.
  always @(negedge clk) begin
    if (check_alu) begin
      if (y == exp_y && carry == exp_carry)
        $display("%0t alu  op=%0d a=%0d b=%0d -> y=%0d carry=%b zero=%b odd=%b  ok",
                 $time, op, a, b, y, carry, zero, odd);
      else begin
        $display("%0t alu  op=%0d a=%0d b=%0d -> y=%0d carry=%b, expected y=%0d carry=%b  FAIL",
                 $time, op, a, b, y, carry, exp_y, exp_carry);
        alu_errors <= alu_errors + 8'd1;
      end
      alu_checks <= alu_checks + 8'd1;
      if (op == OP_SUB && $signed(y) < 0)
        $display("%0t alu  %0d - %0d is %0d as a signed byte", $time, a, b, $signed(y));
    end
    // The head is only meaningful while the FIFO holds data.
    if (check_fifo) begin
      if (count == exp_count && (empty || dout == exp_dout)) begin
        if (empty)
          $display("%0t fifo count=%0d full=%b empty=%b  ok", $time, count, full, empty);
        else
          $display("%0t fifo count=%0d full=%b empty=%b head=%h  ok",
                   $time, count, full, empty, dout);
      end else begin
        $display("%0t fifo count=%0d head=%h, expected count=%0d head=%h  FAIL",
                 $time, count, dout, exp_count, exp_dout);
        fifo_errors <= fifo_errors + 8'd1;
      end
      fifo_checks <= fifo_checks + 8'd1;
    end
  end

  a_fifo_flags: assert property (@(negedge clk) disable iff (!rst_n) full |-> !empty);
  a_zero_flag:  assert property (@(negedge clk) disable iff (!rst_n) zero |-> (y == 8'd0));
  // An empty FIFO has read everything it wrote.
  a_ptrs_meet:  assert property (@(negedge clk) disable iff (!rst_n)
                                 empty |-> (u_fifo.wptr == u_fifo.rptr));

  // One ALU operation and the result it must give, held for one clock.
  task automatic alu_op(input logic [2:0] code, input logic [7:0] x, input logic [7:0] z,
                        input logic [7:0] want_y, input logic want_carry);
    op = code;
    a = x;
    b = z;
    exp_y = want_y;
    exp_carry = want_carry;
    #10;
  endtask

  // ALU stimulus: one operation per clock.
  initial begin
    #12 rst_n = 1'b1;
    valid = 1'b1;
    check_alu = 1'b1;
    alu_op(OP_ADD, 8'd200, 8'd100, 8'd44, 1'b1);
    alu_op(OP_SUB, 8'd50, 8'd8, 8'd42, 1'b0);
    alu_op(OP_SUB, 8'd5, 8'd10, 8'd251, 1'b1);
    alu_op(OP_AND, 8'hf0, 8'h3c, 8'h30, 1'b0);
    alu_op(OP_OR, 8'hf0, 8'h0f, 8'hff, 1'b0);
    alu_op(OP_XOR, 8'haa, 8'haa, 8'h00, 1'b0);
    alu_op(OP_SHL, 8'h81, 8'h00, 8'h02, 1'b1);
    alu_op(OP_SHR, 8'h81, 8'h00, 8'h40, 1'b0);
    alu_op(OP_MAX, 8'd17, 8'd99, 8'd99, 1'b0);
    alu_op(OP_MAX, 8'd250, 8'd3, 8'd250, 1'b0);
    // Without valid the result register keeps its value.
    valid = 1'b0;
    alu_op(OP_ADD, 8'd1, 8'd1, 8'd250, 1'b0);
    check_alu = 1'b0;
  end

  // FIFO stimulus: fill it, push once more while full, drain it while
  // pushing once, pop once more while empty, then leave one byte in it.
  initial begin
    #12 check_fifo = 1'b1;
        push = 1'b1; din = 8'h11; exp_count = 3'd1; exp_dout = 8'h11;
    #10 din = 8'h22;              exp_count = 3'd2;
    #10 din = 8'h33;              exp_count = 3'd3;
    #10 din = 8'h44;              exp_count = 3'd4;
    #10 din = 8'h55;              exp_count = 3'd4;
    #10 push = 1'b0; pop = 1'b1;  exp_count = 3'd3; exp_dout = 8'h22;
    #10                           exp_count = 3'd2; exp_dout = 8'h33;
    #10 push = 1'b1; din = 8'h66; exp_count = 3'd2; exp_dout = 8'h44;
    #10 push = 1'b0;              exp_count = 3'd1; exp_dout = 8'h66;
    #10                           exp_count = 3'd0;
    #10                           exp_count = 3'd0;
    #10 check_fifo = 1'b0;
        pop = 1'b0; push = 1'b1; din = 8'h77;
    #10 push = 1'b0;
  end

  // A reset in the middle of the run clears both units at once, without
  // waiting for a clock edge; then the summary.
  initial begin
    #127 rst_n = 1'b0;
    #1 if (y == 8'd0 && count == 3'd0 && empty)
         $display("%0t reset clears y and the fifo  ok", $time);
       else begin
         $display("%0t reset left y=%0d count=%0d  FAIL", $time, y, count);
         reset_ok = 1'b0;
       end
    #4 $write("%0t done after %0d ns: ", $time, $time);
    $display("%0d checks, %0d errors", total_checks, total_errors);
    if (total_errors == 8'd0 && reset_ok)
      $display("TEST PASSED");
    else
      $display("TEST FAILED");
    #3 $finish;
  end
endmodule
