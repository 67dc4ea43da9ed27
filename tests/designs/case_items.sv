// case items that are enum values or constant expressions compare with their
// values; default runs only when nothing else matches.
`timescale 1ns/1ps
module case_items;
  typedef enum logic [1:0] {IDLE, LOAD, RUN, DONE} state_t;
  localparam logic [3:0] BASE = 4'd4;

  state_t state = IDLE;
  logic [3:0] code = 0;
  logic [7:0] out_a = 0, out_b = 0;

  always @(state) begin
    case (state)
      IDLE: out_a = 8'd10;
      LOAD: out_a = 8'd20;
      RUN: out_a = 8'd30;
      default: out_a = 8'd99;
    endcase
    $display("t=%0d state=%0d out_a=%0d", $time, state, out_a);
  end

  always @(code) begin
    case (code)
      BASE: out_b = 8'd1;
      BASE + 1: out_b = 8'd2;
      4'd2 * 4'd3: out_b = 8'd3;
      default: out_b = 8'd0;
    endcase
    $display("t=%0d code=%0d out_b=%0d", $time, code, out_b);
  end

  initial begin
    #1 state = LOAD;
    #1 state = RUN;
    #1 state = DONE;
    #1 state = IDLE;
    #1 code = 4;
    #1 code = 5;
    #1 code = 6;
    #1 code = 9;
    #1 $finish;
  end
endmodule
