// Waiting on a variable of a task or function: a static variable wakes its
// waiters whoever changes it (code outside naming it, another call of the
// same task, a non-blocking update of the task itself, a call of the
// function), and so does a continuous assignment or @* that reads it from
// outside. An automatic variable belongs to its own call: another call
// changing its own copy wakes nobody.
`timescale 1ns/1ps
module subroutine_variable_events;
  task t;
    logic x;
    begin
      x = 0;
      @(x) $display("%0t: t woke, x=%0d", $time, x);
    end
  endtask

  // Both calls share `v` and `held`: the second call's write wakes the first.
  task hold(input logic [3:0] v);
    logic [3:0] held;
    begin
      held = v;
      @(held) $display("%0t: hold woke, held=%0d", $time, held);
    end
  endtask

  task pulse;
    logic p;
    begin
      p = 0;
      p <= 1;
      @(posedge p) $display("%0t: pulse saw its own update", $time);
    end
  endtask

  task automatic own(input logic [3:0] v);
    logic [3:0] mine;
    begin
      mine = v;
      @(mine) $display("%0t: own(%0d) woke", $time, v);
    end
  endtask

  function logic [3:0] count(input logic [3:0] by);
    static logic [3:0] total = 0;
    total = total + by;
    return total;
  endfunction

  wire [3:0] seen = hold.held;
  logic [3:0] copied = 0;
  always @* copied = hold.held + 1;

  logic [3:0] r = 0;
  initial begin
    t;
    hold(4'd1);
  end
  initial #5 t.x = 1;
  initial begin
    #10 hold(4'd6);
  end
  initial #15 hold.held = 4'd9;
  initial begin
    #20 pulse;
  end
  initial begin
    own(4'd1);
  end
  initial begin
    #25 own(4'd2);
  end
  initial @(count.total) $display("%0t: count.total became %0d", $time, count.total);
  initial begin
    @(posedge hold.held[3]);
    #1 $display("%0t: hold.held[3] rose a step ago", $time);
  end
  initial begin
    #30 r = count(4'd3);
    #1 $display("%0t: seen=%0d copied=%0d", $time, seen, copied);
    #10 $finish;
  end
endmodule
