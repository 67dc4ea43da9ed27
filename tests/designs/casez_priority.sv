// casez with ? in the items as a priority encoder: the first item whose
// known bits match wins, and the default catches the all-zero request.
`timescale 1ns/1ps
module casez_priority;
  logic [7:0] req = 0;
  logic [2:0] grant;
  logic valid;

  always_comb begin
    valid = 1;
    casez (req)
      8'b1???????: grant = 3'd7;
      8'b01??????: grant = 3'd6;
      8'b001?????: grant = 3'd5;
      8'b0001????: grant = 3'd4;
      8'b00001???: grant = 3'd3;
      8'b000001??: grant = 3'd2;
      8'b0000001?: grant = 3'd1;
      8'b00000001: grant = 3'd0;
      default: begin
        grant = 3'd0;
        valid = 0;
      end
    endcase
  end

  task check(input [7:0] r, input [2:0] want_grant, input want_valid);
    req = r;
    #1;
    if (grant !== want_grant || valid !== want_valid)
      $display("req=%0h grant=%0d valid=%0d WRONG", req, grant, valid);
    else
      $display("req=%0h grant=%0d valid=%0d", req, grant, valid);
  endtask

  initial begin
    check(8'h00, 0, 0);
    check(8'h01, 0, 1);
    check(8'h06, 2, 1);
    check(8'h13, 4, 1);
    check(8'h7F, 6, 1);
    check(8'h80, 7, 1);
    check(8'h28, 5, 1);
    $finish;
  end
endmodule
