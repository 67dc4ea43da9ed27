// A net with more than one driver, a driver with drive strengths and a
// driver of a supply net are left out and reported: a two-valued model
// cannot resolve drivers against each other. Drivers of different bits, an
// explicit (strong0, strong1), and a variable written by several processes
// are modelled.
`timescale 1ns/1ps
module out_leaf(output wire o);
  assign o = 1'b1;
endmodule

module left_out_net_drivers;
  logic a = 1, b = 0;
  wire w;
  assign w = a;
  assign w = b;
  wire init_and_assign = a;
  assign init_and_assign = b;
  wire from_port;
  out_leaf u1(.o(from_port));
  assign from_port = b;
  wire two_ports;
  out_leaf u2(.o(two_ports));
  out_leaf u3(.o(two_ports));
  wire weakly;
  assign (weak0, strong1) weakly = a;
  wire (pull0, pull1) pulled = a;
  supply1 vdd;
  assign vdd = b;
  wire [3:0] halves;
  assign halves[1:0] = 2'b01;
  assign halves[3:2] = 2'b10;
  wire strongly;
  assign (strong0, strong1) strongly = a;
  logic shared = 0;
  initial #1 shared = 1;
  initial #2 shared = 0;

  initial #3 $display("%b %b %b %b %b", w, vdd, halves, strongly, shared);
endmodule
