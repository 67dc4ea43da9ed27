// Ports bound through three levels of instances, and hierarchical
// references into an instance of an instance read by displays, conditions,
// a clocked copy and a continuous assignment.
`timescale 1ns/1ps
module hierarchy_three_levels;
  logic [7:0] a = 0;
  wire [7:0] b;
  wire f;
  logic clk = 0;
  logic seen = 0;
  logic [3:0] copy = 0;
  wire [3:0] level;

  mid u1(.x(a), .y(b), .flag(f));
  holder u_mid(.clk(clk));

  always #5 clk = ~clk;
  always @(negedge clk) $display("%0t %0d %0d", $time, u_mid.level, u_mid.u_leaf.inner);
  always @(negedge clk) if (u_mid.u_leaf.inner == 4'd2) seen <= 1;
  always @(posedge clk) copy <= u_mid.u_leaf.inner;
  assign level = u_mid.level;

  initial begin
    $monitor("%0t: x=%0h din=%0h b=%0h f=%0d seen=%0d copy=%0d level=%0d", $time, u1.x, u1.u2.din, b, f,
             seen, copy, level);
    #10 a = 8'h0F;
    #10 a = 8'h00;
    #10 a = 8'h3C;
    #12 $finish;
  end
endmodule

module counter(input logic clk);
  logic [3:0] inner = 4'd0;
  always @(posedge clk) inner <= inner + 4'd1;
endmodule

module holder(input logic clk);
  logic [3:0] level = 4'd7;
  counter u_leaf(.clk(clk));
endmodule

module leaf(input logic [7:0] din, output logic [7:0] dout, output logic any);
  assign dout = ~din;
  assign any = |din;
endmodule

module mid(input logic [7:0] x, output logic [7:0] y, output logic flag);
  logic [7:0] inner;
  leaf u2(.din(x), .dout(inner), .any(flag));
  assign y = inner;
endmodule
