`timescale 1ns/1ps
// A four-entry FIFO of W-bit words. The storage is four registers selected
// by the write and read pointers.
module fifo4 #(
  parameter int W = 8
) (
  input  logic         clk,
  input  logic         rst_n,
  input  logic         push,
  input  logic         pop,
  input  logic [W-1:0] din,
  output logic [W-1:0] dout,
  output logic         full,
  output logic         empty,
  output logic [2:0]   count
);
  localparam logic [2:0] DEPTH = 3'd4;

  logic [W-1:0] e0, e1, e2, e3;
  logic [1:0]   wptr, rptr;
  logic         do_push, do_pop;

  assign full    = (count == DEPTH);
  assign empty   = (count == 3'd0);
  assign do_push = push && !full;
  assign do_pop  = pop && !empty;

  always @(posedge clk or negedge rst_n) begin
    if (!rst_n) begin
      wptr  <= 2'd0;
      rptr  <= 2'd0;
      count <= 3'd0;
    end else begin
      if (do_push) begin
        case (wptr)
          2'd0:    e0 <= din;
          2'd1:    e1 <= din;
          2'd2:    e2 <= din;
          default: e3 <= din;
        endcase
        wptr <= wptr + 2'd1;
      end
      if (do_pop)
        rptr <= rptr + 2'd1;
      if (do_push && !do_pop)
        count <= count + 3'd1;
      else if (do_pop && !do_push)
        count <= count - 3'd1;
    end
  end

  // The head of the queue is always visible on dout.
  always_comb begin
    case (rptr)
      2'd0:    dout = e0;
      2'd1:    dout = e1;
      2'd2:    dout = e2;
      default: dout = e3;
    endcase
  end
endmodule
