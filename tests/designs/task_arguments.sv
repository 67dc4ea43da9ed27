// Tasks with output and inout arguments, local variables and delays: the
// outputs reach the caller's targets when the task returns, each call has
// its own locals, and the caller goes on only after the task's delays.
`timescale 1ns/1ps
module task_arguments;
  logic [7:0] x = 8'd5, y = 8'd9, total = 0, count = 8'd250;
  logic [8:0] wide_sum = 0;
  logic [3:0] lo_part = 0;
  logic carry = 0;

  task automatic add_later(input [7:0] p, input [7:0] q, output [8:0] sum);
    logic [8:0] t;
    t = p + q;
    #2 sum = t;
  endtask

  task automatic bump(inout [7:0] v, input [7:0] by);
    v = v + by;
  endtask

  task automatic split(input [7:0] v, output logic c, output [3:0] low);
    logic [7:0] doubled;
    doubled = v << 1;
    c = v[7];
    #1 low = doubled[3:0];
  endtask

  initial begin
    add_later(x, y, wide_sum);
    $display("%0t: wide_sum=%0d", $time, wide_sum);
    add_later(8'd200, x * 20, wide_sum);
    $display("%0t: wide_sum=%0d", $time, wide_sum);
    bump(count, 8'd3);
    $display("%0t: count=%0d", $time, count);
    bump(count, 8'd10);
    $display("%0t: count=%0d", $time, count);
    bump(total, x + y);
    bump(total, total);
    $display("%0t: total=%0d", $time, total);
    split(8'hC5, carry, lo_part);
    $display("%0t: carry=%0d lo_part=%0h", $time, carry, lo_part);
    split(x + y, carry, lo_part);
    $display("%0t: carry=%0d lo_part=%0h", $time, carry, lo_part);
    $finish;
  end

  initial begin
    #1 $display("%0t: wide_sum during the first call=%0d", $time, wide_sum);
  end
endmodule
