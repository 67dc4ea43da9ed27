// Modules with different time units: each delay counts in its own module's
// unit and $time answers in the unit of the module that asks.
`timescale 1ns/1ps
module timescales_mixed;
  logic [7:0] top_step = 0;

  fast_child child();

  initial begin
    #3 top_step = 1;
    $display("top: t=%0d step=%0d", $time, top_step);
    #5 top_step = 2;
    $display("top: t=%0d step=%0d", $time, top_step);
    #10 $finish;
  end
endmodule

`timescale 1ps/1ps
module fast_child;
  logic [7:0] child_step = 0;

  initial begin
    #5000 child_step = 1;
    $display("child: t=%0d step=%0d", $time, child_step);
    #4000 child_step = 2;
    $display("child: t=%0d step=%0d", $time, child_step);
  end
endmodule
