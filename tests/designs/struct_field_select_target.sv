// A bit select and a part select of a packed struct's field as assignment
// targets write those bits of the field.
`timescale 1ns/1ps
module struct_field_select_target;
  typedef struct packed {
    logic [3:0] op;
    logic [7:0] data;
  } word_t;
  word_t w = '0;

  initial begin
    w.data[7:4] = 4'hA;
    $display("w=%0h", w);
    w.op[1] = 1'b1;
    $display("w=%0h", w);
    $finish;
  end
endmodule
