// Delays given by expressions, each computed when its statement runs, in the
// unit of the module that writes it: `#d`, `#(d * 2)`, a task's `#t` on its
// argument (automatic calls that overlap keep their own), `a = #d b`,
// `a <= #d b` and `assign #d`. A delay that comes to 0 waits in the inactive
// region as `#0` does; a variable changed between two waits gives the second
// its new value; a driver's value in flight keeps the delay it was given,
// and a newer value replaces it, also one whose delay comes to 0. A
// negative delay, or one past what time counts, never ends (the run says so
// in its log), so nothing it holds back shows before the $finish.
`timescale 100ps/10ps
module delay_expressions_tenths;
  integer steps = 25;
  initial begin
    #steps $display("tenths: %0d units of 100ps", $time);
    #(steps / 5 + 10) $display("tenths: %0d units of 100ps", $time);
  end
endmodule

`timescale 1ns/1ps
module delay_expressions;
  integer d = 3, zero = 0, neg = -2;
  longint unsigned huge = 64'hFFFF_FFFF_FFFF_FFFF;
  logic [3:0] nib = 4'd2;
  logic [7:0] a = 0, b = 0, c = 0, n = 0, held = 0;
  integer gap = 5;
  logic [7:0] a2 = 0;
  wire [7:0] late, late2;

  assign #d late = a;
  assign #gap late2 = a2;
  delay_expressions_tenths tenths();

  task automatic pause(input integer t);
    #t;
  endtask

  task automatic stamp(input integer t, input [7:0] v);
    #(t * 2) n = v;
  endtask

  task wait_units(input integer t);
    #t;
  endtask

  always @(late) if (late != 0) $display("%0t: late=%0d", $realtime, late);
  always @(late2) if (late2 != 0) $display("%0t: late2=%0d", $realtime, late2);
  always @(n) $display("%0t: n=%0d", $realtime, n);

  initial begin
    #zero $display("%0t: after #zero", $realtime);
  end
  initial $display("%0t: a later initial block runs first", $realtime);

  initial begin
    #d $display("%0t: after #d", $realtime);
    #(d * 2) $display("%0t: after #(d * 2)", $realtime);
    pause(2);
    $display("%0t: after pause(2)", $realtime);
    pause(d + nib);
    $display("%0t: after pause(d + nib)", $realtime);
    b = #d a + 1;
    $display("%0t: b=%0d a=%0d", $realtime, b, a);
    c <= #(d - 1) 8'd7;
    d = 1;
    #d $display("%0t: c=%0d", $realtime, c);
    #(d + 1) $display("%0t: c=%0d", $realtime, c);
    a = 8'd2;
    #(d * 3) $display("%0t: after #(d * 3)", $realtime);
    wait_units(nib + 1);
    $display("%0t: after wait_units(nib + 1)", $realtime);
  end

  initial begin
    #18 a = 8'd9;
    #12 stamp(3, 8'd1);
  end
  initial begin
    #31 stamp(1, 8'd2);
  end

  initial begin
    #38 a2 = 8'd1;
    #1 gap = 0; a2 = 8'd2;
    #1 gap = 4; a2 = 8'd3;
    #1 a2 = 8'd4;
  end

  initial begin
    #neg $display("%0t: never after #neg", $realtime);
  end
  initial begin
    #huge $display("%0t: never after #huge", $realtime);
  end
  initial begin
    #1 held <= #neg 8'd1;
    #45 $display("%0t: held=%0d", $realtime, held);
    $finish;
  end
endmodule
