// A value copied into a narrower target keeps only the target's bits, in
// procedural and continuous assignments, task and function arguments,
// return values and port connections.
`timescale 1ns/1ps
module narrowing_copies;
  logic [7:0] wide = 8'd197;
  logic [3:0] n_proc = 0, n_task = 0, n_func = 0, n_ret = 0;
  logic [7:0] back = 0;
  logic small_is_5 = 0;
  wire [3:0] n_cont;
  wire [7:0] port_seen;

  assign n_cont = wide;

  nibble_port child(.nib(wide), .seen(port_seen));

  function automatic [3:0] pass4(input [3:0] v);
    pass4 = v;
  endfunction

  function automatic [3:0] trunc_ret(input [7:0] v);
    trunc_ret = v;
  endfunction

  task automatic take4(input [3:0] v, output [3:0] r);
    r = v;
  endtask

  initial begin
    n_proc = wide;
    if (n_proc == 5) small_is_5 = 1;
    take4(wide, n_task);
    n_func = pass4(wide);
    n_ret = trunc_ret(wide);
    back = n_proc;
    #1;
    $display("proc=%0d cont=%0d task=%0d func=%0d ret=%0d", n_proc, n_cont, n_task, n_func, n_ret);
    $display("back=%0d is5=%0d port=%0d", back, small_is_5, port_seen);
    $finish;
  end
endmodule

module nibble_port(input [3:0] nib, output [7:0] seen);
  assign seen = nib;
endmodule
