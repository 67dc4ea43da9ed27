// A chain of clock dividers: each stage divides its input clock by its own
// parameter with a counter, and the testbench counts the rising edges of
// every stage over a fixed window.
`timescale 1ns/1ps
module divider_chain;
  logic clk = 0, rst = 1;
  wire div2, div6, div12;
  logic [7:0] n2 = 0, n6 = 0, n12 = 0;

  always #1 clk = ~clk;
  divider #(.N(2)) u2(.clk_in(clk), .rst(rst), .clk_out(div2));
  divider #(.N(3)) u6(.clk_in(div2), .rst(rst), .clk_out(div6));
  divider #(.N(2)) u12(.clk_in(div6), .rst(rst), .clk_out(div12));

  always @(posedge div2) n2 <= n2 + 1;
  always @(posedge div6) n6 <= n6 + 1;
  always @(posedge div12) n12 <= n12 + 1;
  always @(posedge div12) $display("%0t: div12 rises, div6 edges so far %0d", $time, n6);

  initial begin
    #3 rst = 0;
    #120 $display("n2=%0d n6=%0d n12=%0d", n2, n6, n12);
    $finish;
  end
endmodule

// Divides by 2*N: the output toggles every N input edges.
module divider #(parameter int N = 2) (input logic clk_in, input logic rst, output logic clk_out);
  logic [3:0] count = 0;
  initial clk_out = 0;
  always @(posedge clk_in)
    if (rst) begin
      count <= 0;
      clk_out <= 0;
    end else if (count == N - 1) begin
      count <= 0;
      clk_out <= ~clk_out;
    end else begin
      count <= count + 1;
    end
endmodule
