// A traffic-light controller: an enum state machine with a timer that
// holds each light for its own number of clocks, a pedestrian request that
// shortens green, and a display of every change of light.
`timescale 1ns/1ps
module traffic_light;
  typedef enum logic [1:0] {RED, RED_AMBER, GREEN, AMBER} light_t;
  logic clk = 0, rst = 1, walk = 0;
  light_t light = RED, next_light;
  logic [3:0] timer = 0;
  logic [3:0] hold;

  always #5 clk = ~clk;

  always_comb begin
    case (light)
      RED: begin hold = 4'd4; next_light = RED_AMBER; end
      RED_AMBER: begin hold = 4'd1; next_light = GREEN; end
      GREEN: begin hold = walk ? 4'd2 : 4'd6; next_light = AMBER; end
      default: begin hold = 4'd2; next_light = RED; end
    endcase
  end

  always_ff @(posedge clk)
    if (rst) begin
      light <= RED;
      timer <= 0;
    end else if (timer >= hold) begin
      light <= next_light;
      timer <= 0;
    end else begin
      timer <= timer + 1;
    end

  always @(light) $display("%0t: light=%0d timer=%0d", $time, light, timer);

  initial begin
    #12 rst = 0;
    #200 walk = 1;
    #100 $display("%0t: done, light=%0d", $time, light);
    $finish;
  end
endmodule
