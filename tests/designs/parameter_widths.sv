// Parameters that set widths: overridden per instance, localparams computed
// from them with $clog2, and expressions of parameters in the body.
`timescale 1ns/1ps
module parameter_widths;
  logic clk = 0;
  wire [2:0] c5;
  wire [3:0] c10;
  wire w5, w10;

  always #5 clk = ~clk;
  mod_counter #(.LIMIT(5)) u5(.clk(clk), .count(c5), .wrap(w5));
  mod_counter #(.LIMIT(10)) u10(.clk(clk), .count(c10), .wrap(w10));

  always @(negedge clk) if (w5 || w10) $display("%0t: c5=%0d w5=%0d c10=%0d w10=%0d", $time, c5, w5, c10, w10);

  initial begin
    $display("widths %0d %0d top %0d %0d", u5.W, u10.W, u5.TOP, u10.TOP);
    #200 $finish;
  end
endmodule

module mod_counter #(parameter int LIMIT = 4, localparam int W = $clog2(LIMIT), localparam int TOP = LIMIT - 1)
  (input logic clk, output logic [W-1:0] count, output logic wrap);
  initial count = 0;
  always @(posedge clk) count <= count == TOP ? '0 : count + 1'b1;
  assign wrap = count == TOP[W-1:0];
endmodule
