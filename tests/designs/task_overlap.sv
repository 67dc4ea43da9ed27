// One automatic task running in two processes at once: each call keeps its
// own arguments and locals across its delays, and a task that calls another
// task and a function waits for the inner task to return.
`timescale 1ns/1ps
module task_overlap;
  logic [7:0] out_a = 0, out_b = 0;

  function automatic [7:0] scale(input [7:0] v);
    return v * 3;
  endfunction

  task automatic slow_copy(input [7:0] v, input [7:0] tag, output [7:0] dst);
    logic [7:0] held;
    held = scale(v);
    $display("%0t: call %0d holds %0d", $time, tag, held);
    #4 dst = held + tag;
    $display("%0t: call %0d returns %0d", $time, tag, dst);
  endtask

  task automatic twice(input [7:0] v, output [7:0] dst);
    logic [7:0] first;
    slow_copy(v, 8'd1, first);
    slow_copy(first, 8'd2, dst);
  endtask

  initial begin
    slow_copy(8'd10, 8'd100, out_a);
    #1 twice(8'd4, out_a);
    $display("%0t: out_a=%0d", $time, out_a);
  end

  initial begin
    #2 slow_copy(8'd20, 8'd50, out_b);
    $display("%0t: out_b=%0d", $time, out_b);
    #20 $finish;
  end
endmodule
