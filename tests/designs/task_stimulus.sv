// Tasks with output arguments called from initial and clocked processes,
// and a stimulus task with a delay: the statement after a call waits for
// the task to return.
`timescale 1ns/1ps
module task_stimulus;
  logic clk = 0;
  logic src = 1;
  logic p = 0, q = 0, r1 = 0, r2 = 0;
  logic [7:0] din = 0;
  logic push = 0;

  task automatic set_pair(output logic x, output logic y, input logic value);
    x = value;
    y = ~value;
  endtask

  task automatic copy_in(output logic x, input logic value);
    x = value;
  endtask

  task send(input logic [7:0] d);
    push = 1;
    din = d;
    #10 push = 0;
  endtask

  always #5 clk = ~clk;

  initial begin
    #7 set_pair(p, q, 1'b0);
    #10 set_pair(q, p, src);
  end

  always @(posedge clk) copy_in(r1, src);
  always @(negedge clk) copy_in(r2, clk);

  initial begin
    #5 send(8'h11);
    send(8'h22);
    #5 send(8'h33);
    din = 8'h44;
  end

  initial begin
    $monitor("%0t: p=%0d q=%0d r1=%0d r2=%0d din=%0h push=%0d", $time, p, q, r1, r2, din, push);
    #48 $finish;
  end
endmodule
