// Variables of tasks and functions that are not automatic are static: they
// keep their values from one call to the next, their initialisers run once
// at time 0, calls of a static task that overlap in time share its
// arguments and locals, and every instance has storage of its own. Automatic
// tasks and functions start each call afresh. Code outside a task or
// function can read and write its static variables and arguments by name.
`timescale 1ns/1ps
module counter_leaf(input logic [7:0] step);
  function [7:0] bump(input [7:0] by);
    static logic [7:0] total = 8'd100;
    total = total + by;
    bump = total;
  endfunction
  logic [7:0] seen = 0;
  initial begin
    #1 seen = bump(step);
    #1 seen = bump(step);
    $display("%m: total=%0d by=%0d", seen, bump.by);
  end
endmodule

module static_subroutine_variables;
  function integer count(input x);
    static integer n = 0;
    n = n + 1;
    count = n;
  endfunction

  function automatic integer fresh(input x);
    integer n = 0;
    n = n + 1;
    fresh = n;
  endfunction

  task counted;
    integer calls;
    calls = calls + 1;
  endtask

  // A static task: both callers share `id` and `held`.
  task show(input integer id);
    integer held;
    begin
      held = id * 10;
      #3 $display("%0t: show(%0d) holds %0d", $time, id, held);
    end
  endtask

  task automatic show_own(input integer id);
    integer held;
    begin
      held = id * 10;
      #3 $display("%0t: show_own(%0d) holds %0d", $time, id, held);
    end
  endtask

  // A static output argument that a call leaves unwritten keeps the value
  // the previous call gave it.
  task tally(input logic add, output logic [7:0] total);
    static logic [7:0] sum = 8'd5;
    begin
      if (add) begin
        sum = sum + 1;
        total = sum;
      end
    end
  endtask

  logic [7:0] t = 0;
  counter_leaf u1(.step(8'd1));
  counter_leaf u2(.step(8'd2));

  initial begin
    $display("count: %0d %0d %0d", count(0), count(1), count(0));
    $display("count.n=%0d", count.n);
    counted.calls = 0;
    counted; counted;
    $display("calls=%0d", counted.calls);
    counted.calls = 10; counted;
    $display("calls=%0d", counted.calls);
    $display("fresh: %0d %0d %0d", fresh(0), fresh(1), fresh(0));
    tally(1'b1, t); $display("tally: %0d", t);
    t = 0;
    tally(1'b0, t); $display("tally: %0d", t);
    tally(1'b1, t); $display("tally: %0d", t);
    #10 show(1);
    #10 show_own(1);
  end

  initial begin
    #12 show(2);
    #10 show_own(2);
    $display("show.id=%0d show.held=%0d", show.id, show.held);
    #10 $finish;
  end
endmodule
