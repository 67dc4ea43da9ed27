// A delay held in a variable and one held in an automatic task's argument
// wait as many units as they hold when they run, in a design without a
// timescale.
module delay_in_task_argument;
  integer d = 3;
  task automatic pause(input integer t);
    #t;
  endtask
  initial begin
    #d $display("t=%0t", $time);
    pause(2);
    $display("t=%0t", $time);
  end
endmodule
