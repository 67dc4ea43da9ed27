// Modules under different timescales in one design: each delay counts in
// its own module's unit, $time answers in the caller's unit, and %t prints
// in the design's finest precision.
`timescale 1ns/1ps
module mixed_timescales;
  logic go = 0;
  slow_child u_slow(.go(go));
  fast_child u_fast(.go(go));
  initial begin
    #3 go = 1;
    $display("top: time=%0d t=%0t", $time, $time);
    #40 $display("top: time=%0d t=%0t", $time, $time);
    $finish;
  end
endmodule

`timescale 10ns/1ns
module slow_child(input logic go);
  initial begin
    @(posedge go);
    #2 $display("slow: time=%0d t=%0t", $time, $time);
    #1 $display("slow: time=%0d t=%0t", $time, $time);
  end
endmodule

`timescale 1ps/1ps
module fast_child(input logic go);
  initial begin
    @(posedge go);
    #1500 $display("fast: time=%0d t=%0t", $time, $time);
    #2500 $display("fast: time=%0d t=%0t", $time, $time);
  end
endmodule
