// An up/down counter with synchronous load, enable and asynchronous reset,
// checked by a testbench that keeps its own model and compares after every
// clock.
`timescale 1ns/1ps
module updown_counter;
  logic clk = 0, rst_n = 0, en = 0, up = 1, load = 0;
  logic [3:0] din = 0;
  wire [3:0] count;
  wire at_max, at_min;
  logic [3:0] model = 0;
  logic [7:0] errors = 0, checks = 0;

  counter_ud dut(.clk(clk), .rst_n(rst_n), .en(en), .up(up), .load(load), .din(din),
                 .count(count), .at_max(at_max), .at_min(at_min));

  always #5 clk = ~clk;

  always @(posedge clk or negedge rst_n)
    if (!rst_n) model <= 0;
    else if (load) model <= din;
    else if (en) model <= up ? model + 1 : model - 1;

  always @(negedge clk) begin
    checks <= checks + 1;
    if (count != model || at_max != (model == 15) || at_min != (model == 0)) begin
      errors <= errors + 1;
      $display("%0t: count=%0d model=%0d max=%0d min=%0d", $time, count, model, at_max, at_min);
    end
  end

  task step(input e, input u, input l, input [3:0] d);
    @(negedge clk);
    en = e;
    up = u;
    load = l;
    din = d;
  endtask

  initial begin
    #12 rst_n = 1;
    step(1, 1, 0, 0);
    step(1, 1, 0, 0);
    step(1, 1, 0, 0);
    step(0, 1, 1, 4'd14);
    step(1, 1, 0, 0);
    step(1, 1, 0, 0);
    step(1, 1, 0, 0);
    step(1, 0, 0, 0);
    step(1, 0, 0, 0);
    step(0, 0, 0, 0);
    step(0, 0, 1, 4'd1);
    step(1, 0, 0, 0);
    step(1, 0, 0, 0);
    step(1, 0, 0, 0);
    #3 rst_n = 0;
    #1 $display("%0t: after reset count=%0d", $time, count);
    rst_n = 1;
    @(negedge clk);
    @(negedge clk);
    $display("count=%0d checks=%0d errors=%0d", count, checks, errors);
    $finish;
  end
endmodule

module counter_ud(input logic clk, input logic rst_n, input logic en, input logic up,
                  input logic load, input logic [3:0] din, output logic [3:0] count,
                  output logic at_max, output logic at_min);
  always_ff @(posedge clk or negedge rst_n)
    if (!rst_n) count <= 4'd0;
    else if (load) count <= din;
    else if (en) count <= up ? count + 4'd1 : count - 4'd1;
  assign at_max = &count;
  assign at_min = ~|count;
endmodule
