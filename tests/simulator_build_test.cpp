// What the model builder makes of a design: registry, processes, triggers,
// binds and generated names.
#include "builder_support.h"

#include <gtest/gtest.h>

using wexla_test::buildDesign;
using wsim_kernel::assign_t;
using wsim_kernel::operand_t;
using wsim_kernel::sim_state;

namespace {

const wsim_kernel::assignment_t& firstStatement(wsim_kernel::process_t* p) {
    EXPECT_NE(p, nullptr);
    return *p->ith_statement(0);
}

} // namespace

TEST(Builder, RegistryJsonByteForByte) {
    auto d = buildDesign(R"(
module top(input logic clk, output logic [3:0] q);
  parameter [4:0] P = 300;
  logic [8:0] nine;
  logic [63:0] wide;
  logic [99:0] huge;
  logic [3:0] ones = 4'hF;
  assign q = ones;
endmodule
)");
    d.builder->registerSignalBits("odd\"name", 1, 9, false, true, false);
    EXPECT_EQ(d.builder->exportRegistryJSON(),
              "{\"signals\":[\n"
              "  {\"name\":\"clk\",\"position\":1,\"width\":1,\"type\":\"BIT\",\"isPort\":true,\"isReg\":false},\n"
              "  {\"name\":\"huge\",\"position\":3,\"width\":100,\"type\":\"LONG\",\"isPort\":false,\"isReg\":true},\n"
              "  {\"name\":\"nine\",\"position\":1,\"width\":9,\"type\":\"LONG\",\"isPort\":false,\"isReg\":true},\n"
              "  {\"name\":\"odd\\\"name\",\"position\":2,\"width\":1,\"type\":\"BIT\",\"isPort\":false,\"isReg\":true},\n"
              "  {\"name\":\"ones\",\"position\":3,\"width\":4,\"type\":\"BYTE\",\"isPort\":false,\"isReg\":true},\n"
              "  {\"name\":\"q\",\"position\":1,\"width\":4,\"type\":\"BYTE\",\"isPort\":true,\"isReg\":false},\n"
              "  {\"name\":\"wide\",\"position\":2,\"width\":64,\"type\":\"LONG\",\"isPort\":false,\"isReg\":true}\n"
              "]}");
    // The parameter is a byte constant, left out of the JSON; slang already
    // gives its value in its 5-bit type (300 & 31).
    EXPECT_EQ(sim_state::instance().access_bytes(d.pos("P")).state(), 12);
    EXPECT_EQ(d.builder->getSignalWidth("P"), 5);
    // An initial value is the starting state and is recorded as such.
    EXPECT_EQ(sim_state::instance().access_bytes(d.pos("ones")).state(), 15);
    EXPECT_EQ(wsim_timeseries::TimeSeriesDB::instance().get_current_signal_state().at("ones"), 15);

    SimulatorBuilder empty(nullptr);
    empty.addLongConstant("k", 5, 1);
    EXPECT_EQ(empty.exportRegistryJSON(), "{\"signals\":[\n\n]}");
}

TEST(Builder, StoreRuleConstantsAndConversions) {
    wexla_test::initTestDatabase();
    sim_state::instance().clear();
    SimulatorBuilder b(nullptr);
    b.registerSignalBits("s", 8, 1, false, true, false);
    const int pos = b.signal_positions["s"];
    b.registerSignalBits("s", 3, 2, false, true, true);
    EXPECT_EQ(b.signal_positions["s"], pos);
    EXPECT_EQ(b.getSignalType("s"), operand_t::BYTE);
    EXPECT_EQ(b.getSignalWidth("s"), 3);
    EXPECT_TRUE(b.getSignalSigned("s"));
    b.registerSignalBits("zero", 0, 1, false, false, false);
    EXPECT_EQ(b.getSignalType("zero"), operand_t::BIT);
    EXPECT_EQ(b.getSignalWidth("zero"), 1);
    EXPECT_EQ(b.getSignalType("unknown"), operand_t::BIT);
    EXPECT_EQ(b.getSignalWidth("unknown"), 1);

    const int k = b.addLongConstant("k", 7, 1);
    EXPECT_EQ(b.addLongConstant("k", 9, 1), k);
    EXPECT_EQ(sim_state::instance().access_longs(k).state(), 7u);

    EXPECT_EQ(SimulatorBuilder::svintToUint64(slang::SVInt(8, static_cast<uint64_t>(-1), true)),
              ~uint64_t{0});
    EXPECT_EQ(SimulatorBuilder::svintToUint64(slang::SVInt(70, 0, false).shl(69)), 0u);
    sim_state::instance().access_bytes(pos).update(0x80, 0);
    EXPECT_EQ(SimulatorBuilder::readVecSignalSigned(pos, operand_t::BYTE, 8), -128);
    EXPECT_EQ(SimulatorBuilder::readVecSignalSigned(pos, operand_t::BYTE, 0), 128);
    EXPECT_EQ(SimulatorBuilder::readVecSignalSigned(pos, operand_t::BYTE, 64), 128);
    EXPECT_EQ(SimulatorBuilder::timeScaleUnitToPs(slang::TimeUnit::Nanoseconds, 10), 10000u);
    EXPECT_EQ(SimulatorBuilder::timeScaleUnitToPs(slang::TimeUnit::Femtoseconds, 100), 0u);
}

TEST(Builder, LineContextTableHasOneEntryPerStatement) {
    auto d = buildDesign(R"(module top;
  logic a, b, c;
  assign a = b;
  always @(posedge b) c <= a;
endmodule
)");
    const auto& table = d.builder->getLineContextMap();
    ASSERT_EQ(table.size(), 2u);
    // A text source is no file of the project: file id -1.
    EXPECT_EQ(table[0], std::make_pair(-1, 3));
    EXPECT_EQ(table[1], std::make_pair(-1, 4));
    EXPECT_EQ(firstStatement(d.process("a_ca")).line(), 0);
    EXPECT_EQ(firstStatement(d.process("always")).line(), 1);
}

TEST(Builder, ProceduralBlocksAreClassifiedAndTranslated) {
    auto d = buildDesign(R"(
module top;
  logic clk, a, b, c, d, e;
  always @* a = b;
  always begin #2 c = 1; #2 c = 0; end
  always @(posedge clk) d <= e;
  final e = 1;
  initial begin end
endmodule
)");
    auto& procs = sim_state::instance().all_processes();
    ASSERT_EQ(procs.size(), 4u);
    EXPECT_EQ(procs[0].ith_statement(0)->type(), assign_t::COMBO);
    EXPECT_EQ(procs[1].ith_statement(0)->type(), assign_t::COMBO);
    EXPECT_EQ(procs[1].ith_statement(1)->delay(), 2u);
    const auto& nba = *procs[2].ith_statement(0);
    EXPECT_EQ(nba.type(), assign_t::NBA);
    EXPECT_NE(nba.trigger_index(), 0);
    EXPECT_FALSE(nba.is_always_loop());
    // A final block is a process named "always"; only always blocks loop.
    EXPECT_EQ(procs[3].name(), "always");
    EXPECT_FALSE(procs[3].ith_statement(0)->is_always_loop());
}

TEST(Builder, ADelayUnderAnEventReplacesTheEvent) {
    auto d = buildDesign(R"(
module top;
  logic clk, b, y;
  always @(posedge clk) #2 y = b;
endmodule
)");
    const auto& delayed = firstStatement(d.process("always"));
    EXPECT_EQ(delayed.trigger_index(), 0);
    EXPECT_EQ(delayed.delay(), 2u);
}

TEST(Builder, PortBindsNameTheirProcessesAndInstances) {
    auto d = buildDesign(R"(
module inner(input logic i, output logic o);
  assign o = i;
endmodule
module outer(input logic a, output logic y);
  inner u2(.i(a), .o(y));
endmodule
module top;
  logic x, z, k;
  outer u1(.a(x), .y(z));
  outer u3(.a(1'b1), .y(k));
endmodule
)");
    for (const char* name : {"u1.a", "u1.y", "u1.u2.i", "u1.u2.o"})
        EXPECT_TRUE(d.has(name)) << name;
    // Ports of instances live under their paths only: no bare phantoms.
    for (const char* name : {"a", "y", "i", "o"})
        EXPECT_FALSE(d.has(name)) << name;
    auto& recorder = wsim_timeseries::TimeSeriesDB::instance();
    auto* in = d.process("u1.a_input_bind");
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(in->ith_statement(0)->lhs_index(), d.pos("u1.a"));
    EXPECT_EQ(in->ith_statement(0)->rhs_index(), d.pos("x"));
    EXPECT_EQ(recorder.resolve_instance_for_line(in->ith_statement(0)->line()), "u1");
    // The nested output bind carries the nested instance's path.
    auto* nested = d.process("u1.y_output_bind");
    ASSERT_NE(nested, nullptr);
    EXPECT_EQ(nested->ith_statement(0)->rhs_index(), d.pos("u1.u2.o"));
    EXPECT_EQ(recorder.resolve_instance_for_line(nested->ith_statement(0)->line()), "u1.u2");
    EXPECT_NE(d.process("z_output_bind"), nullptr);
    // A constant connection binds nothing.
    EXPECT_EQ(d.process("u3.a_input_bind"), nullptr);
}

TEST(Builder, TimescaleFinerThanAPicosecond) {
    auto d = buildDesign(R"(`timescale 10ns/100fs
module top;
endmodule
)");
    const auto& ts = sim_state::instance().timescale();
    EXPECT_TRUE(ts.was_set);
    EXPECT_EQ(ts.time_unit_ps, 10000u);
    EXPECT_EQ(ts.time_prec_ps, 0u);
}

TEST(Builder, ContinuousAssignmentShapesAndKeys) {
    auto d = buildDesign(R"(
module top;
  logic a, b, y1, y2, y3, y4, y5, y6, s;
  logic [7:0] v1, v2, v3, v4, w, bus;
  logic [3:0] n;
  wire y7 = a | b;
  assign y7 = a | b;
  assign v1 = w;
  assign v2 = 300;
  assign v3 = {4{2'b01}};
  assign v4 = {n, w[3:0]};
  assign y1 = ~a;
  assign y2 = &bus;
  assign y3 = a & b;
  assign y4 = (a == b);
  assign y5 = w[3];
  assign y6 = s ? a : b;
endmodule
)");
    for (const char* name : {"v1_ca_vec", "v2_ca_longconst", "v3_ca_replconst", "v4_ca_concat",
                             "y1_ca_not", "y2_ca_red_drv", "y3_ca_scalar_bin_drv",
                             "y4_ca_cmp_drv", "y7_ca_net_bin_drv"})
        EXPECT_EQ(d.processCount(name), 1) << name;
    EXPECT_TRUE(d.has("v2_ca_longk_44"));
    EXPECT_TRUE(d.has("v3_repconst_85"));
    EXPECT_EQ(d.processCount("y7_ca_scalar_bin_drv"), 0);
    EXPECT_EQ(d.process("y5_ca"), nullptr);
    EXPECT_EQ(sim_state::instance().all_processes().size(), 9u);
}

TEST(Builder, NamesAndConditionsNeverStandInForAnotherExpression) {
    auto d = buildDesign(R"(
module top;
  logic [7:0] x;
  logic a, b, c, e, y, z;
  logic y1, y2, y3, y4, y5, y6, y7, y8;
  always @(posedge a) y <= ~(a & b);
  always @(posedge a) z <= ~(x + 1);
  assign y1 = (x == 5);
  assign y2 = (x != 261);
  assign y3 = ($signed(x) < 0);
  assign y4 = (x[3:0] != 4'd9);
  assign y5 = ((x + 1) == 3);
  assign y6 = a && (b || c);
  assign y7 = (e == 1);
  assign y8 = (x > e);
endmodule
)");
    auto& state = sim_state::instance();
    // ~(a & b) reads a derived bit holding a && b, not a; ~(x + 1) is left out.
    const auto& neg = firstStatement(d.process("always"));
    EXPECT_NE(neg.rhs_index(), d.pos("a"));
    EXPECT_EQ(state.access_bits(neg.rhs_index()).name().find("_subexpr_"), 0u);
    EXPECT_EQ(d.processCount("always"), 1);
    EXPECT_EQ(d.process("y5_ca_cmp_drv"), nullptr);

    EXPECT_TRUE(d.has("x_cmp_k5"));
    EXPECT_TRUE(d.has("e_const_1"));
    auto holds = [&](const char* process) {
        return state.exps(firstStatement(d.process(process)).expression_index())();
    };
    auto set_x = [&](uint64_t v) { state.access_bytes(d.pos("x")).update(static_cast<uint8_t>(v), 0); };
    set_x(5);
    EXPECT_TRUE(holds("y1_ca_cmp_drv"));
    EXPECT_TRUE(holds("y2_ca_cmp_drv")); // an 8-bit x never equals 261
    EXPECT_FALSE(holds("y3_ca_cmp_drv"));
    set_x(0x80);
    EXPECT_FALSE(holds("y1_ca_cmp_drv"));
    EXPECT_TRUE(holds("y3_ca_cmp_drv"));
    set_x(0x19);
    EXPECT_FALSE(holds("y4_ca_cmp_drv"));
    set_x(0x18);
    EXPECT_TRUE(holds("y4_ca_cmp_drv"));
    EXPECT_TRUE(holds("y8_ca_cmp_drv"));

    auto set_bit = [&](const char* name, bool v) { state.access_bits(d.pos(name)).update(v, 0); };
    set_bit("a", true);
    set_bit("b", false);
    set_bit("c", false);
    EXPECT_FALSE(holds("y6_ca_scalar_bin_drv"));
    set_bit("c", true);
    // The nested (b || c) is a derived bit kept by its own driver.
    for (auto& p : state.all_processes())
        if (p.name().find("_subexpr_") != std::string::npos)
            state.exps(p.ith_statement(0)->expression_index())();
    EXPECT_TRUE(holds("y6_ca_scalar_bin_drv"));
    set_bit("e", true);
    EXPECT_TRUE(holds("y7_ca_cmp_drv"));

    auto& b = *d.builder;
    b._current_scope_prefix = "u1";
    b.registerSignalBits("u1.q", 1, 1, false, true, false);
    EXPECT_EQ(b.resolveSignalName("q"), "u1.q");
    EXPECT_EQ(b.resolveSignalName("r"), "r");
    b._current_scope_prefix.clear();
    int t = 0, f = 0;
    EXPECT_FALSE(b.buildConditionLambdas(nullptr, 1, t, f));
    EXPECT_EQ(t, 0);
}

TEST(Builder, SignalNamesOfExpressions) {
    auto d = buildDesign(R"(
module top;
  parameter P = 3;
  typedef struct packed { logic [3:0] f; logic g; } pair_t;
  logic [7:0] data, x, a, b;
  logic [2:0] i;
  logic s;
  pair_t st;
  logic [7:0] r0, r1, r2, r3, r4, r5, r6, r7, r8, r9, r10, r11;
  assign r0 = $signed(x);
  assign r1 = data[3];
  assign r2 = data[P];
  assign r3 = data[i];
  assign r4 = data[5:2];
  assign r5 = st.f;
  assign r6 = x + 1;
  assign r7 = 1 + x;
  assign r8 = a + b;
  assign r9 = 8'd7;
  assign r10 = {a, b};
  assign r11 = s ? a : b;
endmodule
)");
    std::map<std::string, std::string> names;
    const auto& top = *d.compilation->getRoot().topInstances[0];
    for (const auto& ca : top.body.membersOfType<slang::ast::ContinuousAssignSymbol>()) {
        const auto& assign = ca.getAssignment().as<slang::ast::AssignmentExpression>();
        names[d.builder->extractSignalName(assign.left())] =
            d.builder->extractSignalName(assign.right());
    }
    const std::map<std::string, std::string> expected = {
        {"r0", "x"},   {"r1", "data[3]"}, {"r2", "data[3]"}, {"r3", "data"},
        {"r4", "data"}, {"r5", "st.f"},   {"r6", "x"},       {"r7", "x"},
        {"r8", "a"},   {"r9", ""},        {"r10", ""},       {"r11", ""},
    };
    EXPECT_EQ(names, expected);
}
