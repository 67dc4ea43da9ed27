// A four-entry FIFO without arrays: read and write pointers, a count with
// full and empty flags, and four data registers chosen by the pointers,
// driven by push and pop tasks that report what they see.
`timescale 1ns/1ps
module fifo_pointers;
  logic clk = 0, push = 0, pop = 0;
  logic [7:0] din = 0;
  logic [1:0] wptr = 0, rptr = 0;
  logic [2:0] count = 0;
  logic [7:0] e0 = 0, e1 = 0, e2 = 0, e3 = 0;
  wire full = count == 3'd4;
  wire empty = count == 3'd0;
  wire [7:0] head = rptr == 0 ? e0 : rptr == 1 ? e1 : rptr == 2 ? e2 : e3;
  wire do_push = push && !full;
  wire do_pop = pop && !empty;

  always #5 clk = ~clk;

  always @(posedge clk) begin
    if (do_push) begin
      case (wptr)
        2'd0: e0 <= din;
        2'd1: e1 <= din;
        2'd2: e2 <= din;
        default: e3 <= din;
      endcase
      wptr <= wptr + 1;
    end
    if (do_pop) rptr <= rptr + 1;
    count <= count + do_push - do_pop;
  end

  task put(input [7:0] d);
    @(negedge clk);
    if (full) $display("%0t: push %0h refused, full", $time, d);
    push = 1;
    din = d;
    @(negedge clk);
    push = 0;
  endtask

  task take;
    @(negedge clk);
    if (empty) $display("%0t: pop refused, empty", $time);
    else $display("%0t: pop %0h (count %0d)", $time, head, count);
    pop = 1;
    @(negedge clk);
    pop = 0;
  endtask

  initial begin
    take;
    put(8'h11);
    put(8'h22);
    put(8'h33);
    take;
    put(8'h44);
    put(8'h55);
    put(8'h66);
    $display("%0t: count=%0d full=%0d wptr=%0d rptr=%0d", $time, count, full, wptr, rptr);
    take;
    take;
    take;
    take;
    take;
    $display("%0t: count=%0d empty=%0d wptr=%0d rptr=%0d", $time, count, empty, wptr, rptr);
    $finish;
  end
endmodule
