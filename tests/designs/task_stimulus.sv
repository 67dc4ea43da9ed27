// A testbench task that drives stimulus with delays into a registered adder
// and checks each result.
`timescale 1ns/1ps
module task_stimulus;
  logic clk = 0;
  logic [7:0] a = 0, b = 0, sum = 0;
  logic [7:0] errors = 0;

  always #5 clk = ~clk;
  always @(posedge clk) sum <= a + b;

  task drive(input [7:0] x, input [7:0] y, input [7:0] want);
    a = x;
    b = y;
    #10;
    if (sum != want) errors = errors + 1;
    $display("t=%0d %0d+%0d=%0d", $time, a, b, sum);
  endtask

  initial begin
    #2;
    drive(1, 2, 3);
    drive(10, 20, 30);
    drive(200, 100, 44);
    drive(7, 0, 7);
    $display("errors=%0d", errors);
    $finish;
  end
endmodule
