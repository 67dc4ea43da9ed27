// A system function the engine does not know is reported with its name and
// line wherever it is used: in a continuous assignment, a net initialiser,
// a port connection, or a statement. A statement that uses one is left out
// alone; the rest of its block still runs.
`timescale 1ns/1ps
module sink(input logic [63:0] value);
endmodule

module left_out_unknown_system_functions;
  logic [63:0] t;
  logic [63:0] u = 0;
  logic [7:0] kept = 0;
  assign t = $simtime;
  wire [63:0] w = $simtime + 1;
  sink s(.value($vendor_time));

  initial begin
    u = $simtime;
    kept = 8'd5;
    $vendor_dump;
    if ($vendor_flag) kept = 8'd6;
    #1 $display("kept=%0d", kept);
  end
endmodule
