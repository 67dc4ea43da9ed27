// An if or case arm runs whole when its first statement changes the
// condition it was chosen by.
`timescale 1ns/1ps
module arm_changes_condition;
  logic clk = 0;
  logic f = 0, g = 0, h = 0;
  logic x = 0, y = 0;
  logic [1:0] sel = 0;
  logic [7:0] z = 0;

  always #5 clk = ~clk;

  always @(posedge clk)
    if (!f) begin f = 1; x = 1; end

  always @(posedge clk)
    if (!g) begin g <= 1; y <= 1; end

  always @(posedge clk)
    case (sel)
      0: begin sel = 1; z = 8'd7; end
      default: h = 1;
    endcase

  initial begin
    $monitor("%0t: x=%0d y=%0d z=%0d h=%0d", $time, x, y, z, h);
    #30 $finish;
  end
endmodule
