module counter(input logic clk);
  logic [3:0] count = 0;
  always @(posedge clk) count <= count + 1;
endmodule
