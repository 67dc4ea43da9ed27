// A unique or priority case that matches no item and has no default
// prints a warning line once its time step has settled, naming its file
// and line, the time and its scope; with a default, or with a matching
// item, it prints nothing.
`timescale 1ns/1ps
module upc_decoder(input [1:0] sel, output logic [3:0] onehot);
  always_comb begin
    unique case (sel)
      2'd0: onehot = 4'b0001;
      2'd1: onehot = 4'b0010;
      2'd2: onehot = 4'b0100;
    endcase
  end
endmodule

module unique_priority_case;
  logic clk = 0;
  logic [1:0] sel = 0;
  logic [2:0] code = 0;
  logic [3:0] grant = 0;
  wire [3:0] onehot;

  upc_decoder dec(.sel(sel), .onehot(onehot));

  always #5 clk = ~clk;

  always @(posedge clk) begin
    priority case (1'b1)
      code[2]: grant <= 4'd4;
      code[1]: grant <= 4'd2;
      code[0]: grant <= 4'd1;
    endcase
  end

  always @(negedge clk) begin
    unique case (code)
      3'd7: grant <= 4'd8;
      default: ;
    endcase
  end

  task check(input [1:0] s);
    unique case (s)
      2'd0, 2'd1: ;
      2'd2: ;
    endcase
  endtask

  initial begin
    #1 sel = 3;
    #2 $display("onehot=%0d", onehot);
    #10 code = 3'b010;
    #10 $display("grant=%0d", grant);
    sel = 1;
    #1 check(sel);
    #1 check(2'd3);
    #1 $display("onehot=%0d", onehot);
    $finish;
  end
endmodule
