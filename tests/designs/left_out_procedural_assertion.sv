// A concurrent assertion in a procedure that names no clock takes the clock
// of the procedure's event control; where the procedure gives none, the
// assertion is reported and left out, never attempted on some other clock.
// The procedure gives none when it has no event control in front of its
// body, when its body waits anywhere else, or when not exactly one of its
// edge events has signals the body does not read. Values an assertion would
// take as the procedure reaches it are not modelled either.
`timescale 1ns/1ps
module left_out_procedural_assertion;
  logic clk = 0, rst = 0, a = 0, b = 0, q = 0;

  always #5 clk = ~clk;

  always @* if (a) star: assert property (b);
  always_comb if (a) comb: assert property (b);
  always #5 delayed: assert property (a);
  always @(posedge clk) begin #1 q = a; waits: assert property (a); end
  always @(posedge clk or posedge rst) two_clocks: assert property (a);
  always @(posedge clk) begin q <= clk; reads_clk: assert property (a); end
  always @(a) level: assert property (b);
  // An automatic variable and a const cast take their values as the
  // procedure reaches the assertion, not at its clock.
  always @(posedge clk) begin automatic logic t = a; taken: assert property (t); end
  always @(posedge clk) cast: assert property (b == const'(a));
  // Its own clock needs none from the procedure.
  always @* if (a) named: assert property (@(posedge clk) b);

  initial begin
    #12 a = 1;
    #20 $finish;
  end
endmodule
