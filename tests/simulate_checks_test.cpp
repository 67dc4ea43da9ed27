// unique, unique0 and priority qualifiers simulated end to end, where the
// reference simulator checks less than the language asks (overlapping items,
// unique0, if-else-if chains, reports deferred past a glitch); the plain
// no-match warnings are checked against it in tests/designs/.
#include "simulate_support.h"

#include <gtest/gtest.h>

using wexla_test::Simulation;

namespace {

std::string printed(const Simulation& sim) { return wexla_test::printedOutput(sim.consolePath()); }

} // namespace

TEST(SimulateChecks, EachQualifierReportsWhatItForbids) {
    Simulation sim;
    const auto r = sim.run(R"(module top;
  logic [1:0] s = 0;
  logic a = 0, b = 0;
  initial begin
    #1 s = 1;
    unique case (s) 2'd1: ; 2'd0, 2'd1: ; endcase
    unique0 case (s) 2'd1, 2'd1: ; 2'd2: ; endcase
    priority case (s) 2'd1: ; 2'd1: ; endcase
    unique0 case (s) 2'd2: ; endcase
    unique case (s) 2'd2: ; default: ; endcase
    #1 unique if (a) ; else if (b) ;
    unique0 if (a) ; else if (b) ;
    priority if (a) ; else if (b) ;
    unique if (a) ; else if (b) ; else ;
    #1 a = 1; b = 1;
    unique if (a) ; else if (b) ;
    unique0 if (a) ; else if (b) ;
    priority if (a) ; else if (b) ;
    unique if (!a) ; else begin unique if (b) ; else if (a) ; end
  end
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    EXPECT_EQ(printed(sim),
              "WARNING: source:6: unique case: more than one item matches (time 1, scope top)\n"
              "WARNING: source:11: unique if: no condition is true (time 2, scope top)\n"
              "WARNING: source:13: priority if: no condition is true (time 2, scope top)\n"
              "WARNING: source:16: unique if: more than one condition is true (time 3, scope top)\n"
              "WARNING: source:17: unique0 if: more than one condition is true (time 3, scope top)\n"
              "WARNING: source:19: unique if: more than one condition is true (time 3, scope top)\n");
}

TEST(SimulateChecks, AReportWaitsForTheTimeStepToSettle) {
    // The block runs first with t still old (no item matches), then again
    // once the NBA region has updated t: only the settled run counts. The
    // initial block's own report stands, and is printed after the display
    // that followed it in the same time step.
    Simulation sim;
    const auto r = sim.run(R"(module top;
  logic [1:0] s = 0, t = 0, y = 0;
  always @(s) t <= s;
  always_comb begin
    unique case ({s, t})
      4'b0000, 4'b0101, 4'b1010: y = s;
    endcase
  end
  initial begin
    #1 s = 1;
    #1 s = 2;
    #1 priority case (y) 2'd3: ; endcase
    $display("y=%0d", y);
    #1 s = 3;
  end
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    EXPECT_EQ(printed(sim), "y=2\n"
                            "WARNING: source:12: priority case: no item matches (time 3, scope top)\n"
                            "WARNING: source:5: unique case: no item matches (time 4, scope top)\n");
}

TEST(SimulateChecks, AReportNamesTheScopeOfItsStatement) {
    // A function's own: of the instance it belongs to, in a generate loop.
    Simulation sim;
    const auto r = sim.run(R"(module worker #(parameter K = 0) ();
  function automatic integer pick(input integer v);
    priority case (v) 1: pick = 10; 2: pick = 20; endcase
  endfunction
  localparam integer P = pick(1);
  integer got = 0;
  initial #K got = pick(K) + P;
endmodule
module top;
  for (genvar i = 1; i <= 3; i++) begin : g
    worker #(.K(i)) c();
  end
endmodule
)");
    ASSERT_TRUE(r.success) << r.error_message;
    EXPECT_EQ(printed(sim),
              "WARNING: source:3: priority case: no item matches (time 3, scope top.g[3].c.pick)\n");
}
