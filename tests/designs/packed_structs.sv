// Packed structs: fields written and read by name, the whole struct as a
// vector, a struct port between modules, and fields in expressions.
`timescale 1ns/1ps
typedef struct packed {
  logic [3:0] op;
  logic [7:0] data;
  logic valid;
} packet_t;

module packed_structs;
  packet_t p = '0;
  packet_t q;
  logic [12:0] raw;
  logic [7:0] doubled;

  stage u_stage(.in(p), .out(q));

  initial begin
    p.op = 4'd3;
    p.data = 8'd100;
    p.valid = 1;
    raw = p;
    #1 $display("raw=%0h op=%0d data=%0d valid=%0d", raw, p.op, p.data, p.valid);
    $display("q: op=%0d data=%0d valid=%0d", q.op, q.data, q.valid);
    p = {4'd9, 8'd7, 1'b0};
    doubled = p.data * 2 + p.op;
    #1 $display("p: op=%0d data=%0d valid=%0d doubled=%0d", p.op, p.data, p.valid, doubled);
    $display("q: op=%0d data=%0d valid=%0d", q.op, q.data, q.valid);
    p.data = {4'hA, p.data[3:0]};
    #1 $display("q=%0h", q);
    $finish;
  end
endmodule

module stage(input packet_t in, output packet_t out);
  always_comb begin
    out = in;
    out.data = in.data + in.op;
    out.valid = in.valid & (in.op != 0);
  end
endmodule
