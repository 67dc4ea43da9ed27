// Escaped identifiers name signals, ports and instances like any other
// name: values flow through them and print.
`timescale 1ns/1ns
module \inv-cell (input bit \in-x , output bit \out.y );
  assign \out.y = ~\in-x ;
endmodule

module escaped_identifiers;
  bit \odd"name = 0;
  bit \bus[0] = 0;
  bit [3:0] \count+1 = 0;
  wire q;
  \inv-cell \u-1 (.\in-x (\odd"name ), .\out.y (q));

  always @(posedge \odd"name ) \count+1 <= \count+1 + 1;

  initial begin
    #1 \odd"name = 1;
    #1 $display("odd=%0d q=%0d count=%0d", \odd"name , q, \count+1 );
    \bus[0] = q;
    \odd"name = 0;
    #1 $display("odd=%0d q=%0d bus=%0d count=%0d", \odd"name , q, \bus[0] , \count+1 );
  end
endmodule
