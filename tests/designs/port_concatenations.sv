// Ports a module declares as concatenations of its signals
// (`.din({dh, dl})`): each signal is a port of its own, taking its bits of
// the connected value, inputs and outputs alike.
`timescale 1ns/1ns
module swap(.din({dh, dl}), .dout({oh, ol}), .flag({f2, f1, f0}));
  input bit [1:0] dh;
  input bit [1:0] dl;
  output bit [1:0] oh;
  output bit [1:0] ol;
  input bit f2, f1, f0;
  assign oh = dl;
  assign ol = dh ^ {f1, f0} ^ {f2, 1'b0};
endmodule

module port_concatenations;
  bit [3:0] i = 4'b0110;
  bit [7:0] wide = 8'b0010_0100;
  bit [2:0] flags = 0;
  wire [3:0] o, o2;
  swap s1(.din(i), .dout(o), .flag(flags));
  swap s2(.din(wide[5:2]), .dout(o2), .flag({1'b1, i[1:0]}));

  initial begin
    #1 $display("o=%0d o2=%0d", o, o2);
    i = 4'b1001;
    flags = 3'b011;
    #1 $display("o=%0d o2=%0d", o, o2);
    wide[3:2] = 2'b11;
    flags = 3'b100;
    #1 $display("o=%0d o2=%0d", o, o2);
  end
endmodule
