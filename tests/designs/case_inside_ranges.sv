// Range items in `case inside`: an item [lo:hi] matches a selector from lo
// to hi, bounds included; one item list mixes ranges and values; a range
// whose left bound is above its right holds nothing; a signed selector
// compares signed; a wildcard value still matches bit by bit. The first
// matching item wins.
// Expected output: Verilator
// Icarus 11 cannot parse `case inside`; the output below follows IEEE 1800
// 12.5.4 and 11.4.13 by hand and is checked with Verilator.
module case_inside_ranges;
  bit [7:0] v = 0;
  bit signed [7:0] s = 0;
  int r = 0;

  task automatic classify(input bit [7:0] x);
    v = x;
    case (v) inside
      [1:5]: r = 1;
      [8:9], 12, [14:15]: r = 2;
      [7:6]: r = 3;
      [20:22]: r = 4;
      8'b1?1?_????: r = 5;
      [100:200]: r = 6;
      default: r = 0;
    endcase
    $display("v=%0d r=%0d", v, r);
  endtask

  task automatic signed_range(input bit signed [7:0] x);
    s = x;
    case (s) inside
      [-3:-1]: r = 1;
      [0:2]: r = 2;
      default: r = 0;
    endcase
    $display("s=%0d r=%0d", s, r);
  endtask

  initial begin
    classify(0);
    classify(1);
    classify(3);
    classify(5);
    classify(6);
    classify(7);
    classify(8);
    classify(9);
    classify(12);
    classify(13);
    classify(15);
    classify(21);
    classify(22);
    classify(23);
    classify(100);
    classify(160);
    classify(200);
    classify(201);
    signed_range(-4);
    signed_range(-3);
    signed_range(-1);
    signed_range(0);
    signed_range(2);
    signed_range(3);
    $finish;
  end
endmodule
