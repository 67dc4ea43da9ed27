// Non-blocking assignments with an event control inside: `q <= @(posedge c)
// d` computes the right side when the statement runs, the process goes on
// at once, and the update lands when the event next occurs. Updates made
// before one edge all land at it, in the order they were made. Values are
// printed between the edges: the update lands in the NBA region of the
// edge's time step, as IEEE 1800 4.9.4 has every non-blocking update do,
// while Icarus writes it as the edge happens, before the processes the edge
// wakes have run.
`timescale 1ns/1ns
module nba_event_control;
  bit clk = 0, strobe = 0;
  bit [7:0] d = 8'd1, q = 0, r = 0, s = 0, t = 0;
  bit [7:0] v = 8'd1;

  always #5 clk = ~clk;

  initial begin
    #1 q <= @(posedge clk) d;        // lands at 5
    #1 d = 8'd2;
    r <= @(posedge clk) d + 1;       // both land at 5, the later one wins
    r <= @(posedge clk) d + 2;
    #10 v[5:2] <= @(negedge clk) d[3:0] + 4'd7; // made at 12, lands at 20
    d = 8'd3;
    #10 strobe = 1;
    s <= @(negedge strobe) d;        // made at 22, lands at 27
    #5 strobe = 0;
  end

  // Made at each rising edge, landing at the falling one after it.
  always @(posedge clk) t <= @(negedge clk) t + 1;

  always begin
    #7 $display("%0t q=%0d r=%0d s=%0d t=%0d v=%0d", $time, q, r, s, t, v);
    #3;
  end
  initial #28 $display("%0t s=%0d", $time, s);
  initial #52 $finish;
endmodule
