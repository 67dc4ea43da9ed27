// A UART-like link: a task sends bytes bit by bit (start bit, eight data
// bits from the lowest, stop bit) on a serial line, and a receiver samples
// the line in the middle of each bit with a counter and a shift register.
`timescale 1ns/1ps
module uart_loopback;
  localparam int BIT = 16;
  logic clk = 0;
  logic line = 1;
  logic [7:0] shift = 0, received = 0;
  logic [3:0] bits_left = 0;
  logic [4:0] ticks = 0;
  logic busy = 0, done = 0;
  logic [7:0] frames = 0;

  always #1 clk = ~clk;

  // Receiver: wait for a falling line, then sample every BIT ticks from the
  // middle of the start bit.
  always @(posedge clk) begin
    done <= 0;
    if (!busy) begin
      if (!line) begin
        busy <= 1;
        ticks <= BIT / 4 - 1;
        bits_left <= 4'd9;
      end
    end else if (ticks != 0) begin
      ticks <= ticks - 1;
    end else begin
      ticks <= BIT / 2 - 1;
      if (bits_left == 4'd0) begin
        busy <= 0;
        if (line) begin
          received <= shift;
          frames <= frames + 1;
          done <= 1;
        end
      end else begin
        if (bits_left != 4'd9) shift <= {line, shift[7:1]};
        bits_left <= bits_left - 1;
      end
    end
  end

  task send(input [7:0] data);
    line = 0;
    #BIT line = data[0];
    #BIT line = data[1];
    #BIT line = data[2];
    #BIT line = data[3];
    #BIT line = data[4];
    #BIT line = data[5];
    #BIT line = data[6];
    #BIT line = data[7];
    #BIT line = 1;
    #BIT;
  endtask

  always @(posedge done) $display("%0t: received %0h (frame %0d)", $time, received, frames);

  initial begin
    #5 send(8'hA5);
    send(8'h3C);
    #7 send(8'h01);
    send(8'hFF);
    #40 $display("frames=%0d last=%0h", frames, received);
    $finish;
  end
endmodule
