// The kernel on models built by hand: expression edge cases the corpus
// cannot reach, the limits and what the recorder sees. The regions' order and
// the non-blocking updates are checked by the corpus (tests/designs/).
#include "database.h"
#include "kernel.h"
#include "test_support.h"
#include "timeseries.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

namespace wk = wsim_kernel;
namespace ts = wsim_timeseries;
using wk::assign_t;
using wk::operand_t;
using wk::proc_t;
using wk::xins;
using wk::xop;

namespace {

xins op(xop o, int w = 64, int w2 = 64, int flags = 0, uint64_t k = 0, int a = 0) {
    return {o, static_cast<uint8_t>(w), static_cast<uint8_t>(w2), static_cast<uint8_t>(flags),
            operand_t::BIT, a, k};
}
xins konst(uint64_t k) { return op(xop::CONST, 64, 64, 0, k); }

// Builds models the way kernel.h describes: a cell per signal, compiled
// expressions and targets, processes written as programs.
class KernelTest : public ::testing::Test {
protected:
    void SetUp() override {
        Database::init(dir.file("project.db"));
        Database& db = Database::instance();
        db.clear(true);
        const std::string source = dir.file("top.sv");
        db.insertProjectStructure({source});
        file_id = db.getFileID(source);
        db.insertModule(1, "top", source, 1, 200);
        db.insertInstance(1, "top", source, 1, 200, "top", -1, "top", true);
        rec().clear();
        state().clear();
        state().sim_config = wk::sim_state::SimConfig{};
        state().set_console_path(dir.file("console.txt"));
        // Line-context index i maps to source line 100 + i.
        std::vector<std::pair<int, int>> ctx;
        for (int i = 0; i < 64; ++i)
            ctx.emplace_back(file_id, 100 + i);
        state().set_line_ctx_map(ctx);
        rec().set_line_ctx_map(ctx);
    }

    static wk::sim_state& state() { return wk::sim_state::instance(); }
    static ts::TimeSeriesDB& rec() { return ts::TimeSeriesDB::instance(); }

    wk::signal_ref signal(const std::string& name, int width, uint64_t value = 0) {
        rec().register_signal(name, 1, false, true, width);
        Database::instance().insertSignal(name, ++signal_ids, dir.file("top.sv"), 1, width, 1, 0,
                                          "reg", "top", 1);
        rec().record_signal_change(name, static_cast<int64_t>(value));
        wk::signal_ref r{wk::store_for_width(width), 0};
        switch (r.type) {
        case operand_t::BIT: r.pos = state().add_bit(wk::bit(value != 0, false, name, 1)); break;
        case operand_t::BYTE:
            r.pos = state().add_byte(wk::byte_t(static_cast<uint8_t>(value), false, name, 1));
            break;
        default: r.pos = state().add_long(wk::long_t(value, false, name, 1)); break;
        }
        state().set_signal_width(r, width);
        return r;
    }

    // The stack program's value; the same expression added to the model, which
    // may take a shorter way, must give it too.
    static uint64_t eval(std::vector<xins> code) {
        wk::expr_t e;
        e.code = std::move(code);
        e.max_stack = 8;
        const uint64_t value = state().eval_code(e);
        EXPECT_EQ(state().eval(state().add_expr(e)), value);
        return value;
    }
    static int expr(std::vector<xins> code, int width = 64) {
        wk::expr_t e;
        e.code = std::move(code);
        e.max_stack = 8;
        e.width = width;
        return state().add_expr(std::move(e));
    }
    static int load(wk::signal_ref r) { return expr({{xop::LOAD, 64, 64, 0, r.type, r.pos, 0}}); }
    static int whole(wk::signal_ref r) {
        wk::lvalue_t lv;
        lv.width = state().signal_width(r);
        lv.parts.push_back({r, lv.width, lv.width});
        return state().add_lvalue(lv);
    }
    static wk::assignment_t stmt(assign_t type, int line) { return wk::assignment_t(type, line); }
    static wk::assignment_t assign(assign_t type, int line, int lhs, int e) {
        auto s = stmt(type, line);
        s.lhs = lhs;
        s.expr = e;
        return s;
    }
    static wk::assignment_t delay(int line, wk::time_t d) {
        auto s = stmt(assign_t::DELAY, line);
        s.delay = d;
        return s;
    }
    static wk::assignment_t wait(int line, wk::signal_ref sig, wk::edge_t edge) {
        auto s = stmt(assign_t::WAIT, line);
        wk::event_t ev;
        ev.expr = load(sig);
        ev.direct = sig;
        ev.edge = edge;
        s.events = state().add_event_list({ev});
        return s;
    }
    static int process(proc_t type, const std::string& name, std::vector<wk::assignment_t> body) {
        wk::process_t p(1, name, type);
        p.set_instance_id("top");
        for (const auto& s : body)
            p.add_statement(s);
        return state().add_process(std::move(p));
    }
    // always #half clk = ~clk;
    void clock(wk::signal_ref clk, wk::time_t half) {
        process(proc_t::ALWAYS, "clkgen",
                {delay(1, half),
                 assign(assign_t::BA, 2, whole(clk),
                        expr({{xop::LOAD, 1, 1, 0, clk.type, clk.pos, 0}, op(xop::NOT, 1)}, 1))});
    }

    std::string run(std::string* errors = nullptr) {
        std::ostringstream out, err;
        {
            const wexla_test::StreamRedirect toOut(std::cout, out.rdbuf());
            const wexla_test::StreamRedirect toErr(std::cerr, err.rdbuf());
            state().run();
        }
        if (errors)
            *errors = err.str();
        return out.str();
    }

    // (time, value) of every recorded change of a signal.
    static std::vector<std::pair<wk::time_t, int64_t>> history(const std::string& name) {
        std::vector<std::pair<wk::time_t, int64_t>> out;
        for (const auto& st : rec().get_timeline()) {
            const int64_t v = st.signalState.at(name);
            if (out.empty() || out.back().second != v)
                out.emplace_back(st.simulationTime, v);
        }
        return out;
    }
    using History = std::vector<std::pair<wk::time_t, int64_t>>;

    wexla_test::TempDir dir;
    int file_id = -1;
    int signal_ids = 0;
};

} // namespace

TEST_F(KernelTest, ExpressionsAtTheEdgesOfTheirWidths) {
    // Signed division that overflows, and by zero, never traps.
    EXPECT_EQ(eval({konst(0x80), konst(0xFF), op(xop::DIV, 8, 8, 1)}), 0x80u);
    EXPECT_EQ(eval({konst(0x80), konst(0xFF), op(xop::MOD, 8, 8, 1)}), 0u);
    EXPECT_EQ(eval({konst(1ull << 63), konst(~0ull), op(xop::DIV, 64, 64, 1)}), 1ull << 63);
    EXPECT_EQ(eval({konst(9), konst(0), op(xop::DIV, 8)}), 0u);
    EXPECT_EQ(eval({konst(0xFB), konst(2), op(xop::DIV, 8, 8, 1)}), 0xFEu); // -5 / 2 = -2
    // Powers: a negative exponent leaves only 1 and -1 an integer result.
    EXPECT_EQ(eval({konst(3), konst(4), op(xop::POW, 8)}), 81u);
    EXPECT_EQ(eval({konst(2), konst(0xFD), op(xop::POW, 8, 8, 2)}), 0u);
    EXPECT_EQ(eval({konst(0xFF), konst(0xFD), op(xop::POW, 8, 8, 3)}), 0xFFu);
    EXPECT_EQ(eval({konst(0xFF), konst(0xFC), op(xop::POW, 8, 8, 3)}), 1u);
    // Shifts past the width; arithmetic shifts keep the sign.
    EXPECT_EQ(eval({konst(0x96), konst(70), op(xop::SHL, 8)}), 0u);
    EXPECT_EQ(eval({konst(0x96), konst(70), op(xop::ASHR, 8, 8, 1)}), 0xFFu);
    EXPECT_EQ(eval({konst(0x96), konst(2), op(xop::ASHR, 8, 8, 1)}), 0xE5u);
    EXPECT_EQ(eval({konst(1ull << 63), konst(63), op(xop::ASHR, 64, 64, 1)}), ~0ull);
    // Comparisons by the operands' sign.
    EXPECT_EQ(eval({konst(0xFF), konst(1), op(xop::LT, 1, 8, 1)}), 1u);
    EXPECT_EQ(eval({konst(0xFF), konst(1), op(xop::LT, 1, 8, 0)}), 0u);
    // Extension, replication, concatenation, reductions.
    EXPECT_EQ(eval({konst(0x7F), op(xop::SEXT, 8, 7)}), 0xFFu);
    EXPECT_EQ(eval({konst(0x3F), op(xop::SEXT, 8, 7)}), 0x3Fu);
    EXPECT_EQ(eval({konst(0b101), op(xop::REPL, 9, 3, 0, 3)}), 0b101101101u);
    EXPECT_EQ(eval({konst(0xA), konst(0x5), op(xop::CAT, 8, 4)}), 0xA5u);
    EXPECT_EQ(eval({konst(0xF), op(xop::RAND, 1, 4)}), 1u);
    EXPECT_EQ(eval({konst(0x7), op(xop::RAND, 1, 4)}), 0u);
    EXPECT_EQ(eval({konst(0x7), op(xop::RXOR, 1, 4)}), 1u);
    // A select by a signal: bits outside the vector read 0, either direction.
    // v[idx +: 4] of a [7:0] vector holding 0xA5:
    EXPECT_EQ(eval({konst(0xA5), konst(4), op(xop::SEL, 4, 8, 0, 0, 0)}), 0xAu);
    EXPECT_EQ(eval({konst(0xA5), konst(6), op(xop::SEL, 4, 8, 0, 0, 0)}), 0x2u);
    EXPECT_EQ(eval({konst(0xA5), konst(~0ull), op(xop::SEL, 4, 8, 1, 0, 0)}), 0xAu);
    // Indices at the ends of 64 bits select nothing, whatever their sign and
    // the range's bounds, and no position arithmetic overflows.
    EXPECT_EQ(eval({konst(0xA5), konst(~0ull), op(xop::SEL, 4, 8, 0, 0, 0)}), 0u);
    EXPECT_EQ(eval({konst(0xA5), konst(1ull << 63), op(xop::SEL, 4, 8, 1, ~1ull, 7)}), 0u);
    EXPECT_EQ(eval({konst(0xA5), konst(1ull << 63), op(xop::SEL, 4, 8, 3, 0, 7)}), 0u);
    EXPECT_EQ(eval({konst(0xA5), konst(~0ull >> 1), op(xop::SEL, 4, 8, 1, 3, -7)}), 0u);
    // ... and of a [0:7] vector: index 0 is the most significant bit.
    EXPECT_EQ(eval({konst(0xA5), konst(0), op(xop::SEL, 1, 8, 2, 0, 7)}), 1u);
    EXPECT_EQ(eval({konst(0xA5), konst(1), op(xop::SEL, 1, 8, 2, 0, 7)}), 0u);
    // Short-circuit jumps leave one value.
    EXPECT_EQ(eval({konst(0), op(xop::JZ, 1, 1, 0, 0, 3), konst(7), konst(9)}), 9u);
    // Operations on signals, and a result cut to the target's width.
    const auto byte = signal("b", 8, 0xF0);
    const auto bit = signal("c", 1, 1);
    const xins b{xop::LOAD, 64, 64, 0, byte.type, byte.pos, 0};
    const xins c{xop::LOAD, 64, 64, 0, bit.type, bit.pos, 0};
    EXPECT_EQ(eval({b, konst(0x20), op(xop::ADD, 32, 32), op(xop::TRUNC, 8, 32)}), 0x10u);
    EXPECT_EQ(eval({b, c, op(xop::SUB, 8)}), 0xEFu);
    EXPECT_EQ(eval({c, op(xop::NOT, 1)}), 0u);
    EXPECT_EQ(eval({b, op(xop::REPL, 16, 8, 0, 2)}), 0xF0F0u);
    EXPECT_EQ(eval({b, c, c, op(xop::ADD, 8)}), 2u);
    EXPECT_EQ(eval({b, c, op(xop::CAT, 9, 1), op(xop::SLICE, 4, 9, 0, 0, 4)}), 0xEu);
}

TEST_F(KernelTest, ContinuousLoopsAreNamedOnceAndStopCostingEveryStep) {
    const auto x = signal("x", 1);
    const auto clk = signal("clk", 1);
    // assign x = ~x;
    wk::process_t p(3, "x_drv", proc_t::ASSIGN);
    p.add_statement(assign(assign_t::CA, 3, whole(x),
                           expr({{xop::LOAD, 1, 1, 0, x.type, x.pos, 0}, op(xop::NOT, 1)}, 1)));
    state().add_process(std::move(p));
    clock(clk, 5);
    state().sim_config.max_sim_cycle = 200;
    std::string errors;
    run(&errors);
    EXPECT_EQ(errors.find("[SIM] continuous assignments did not settle at t=0: x\n"), 0u) << errors;
    EXPECT_EQ(errors.find("did not settle", errors.find("did not settle") + 1), std::string::npos)
        << errors;
    // The clock kept running to the cycle limit.
    EXPECT_EQ(state().stop_reason(), wk::stop_reason_t::CYCLE_LIMIT);
    EXPECT_GT(state().sim_time(), 900u);
}

TEST_F(KernelTest, LimitsStopTheRunAndSayWhy) {
    // A zero-delay loop never leaves its time step.
    const auto a = signal("a", 1);
    process(proc_t::ALWAYS, "spin",
            {delay(1, 0), assign(assign_t::BA, 2, whole(a),
                                 expr({{xop::LOAD, 1, 1, 0, a.type, a.pos, 0}, op(xop::NOT, 1)}, 1))});
    std::string errors;
    run(&errors);
    EXPECT_EQ(state().stop_reason(), wk::stop_reason_t::DELTA_LIMIT);
    EXPECT_EQ(errors, "[SIM] Max delta cycles (1000) reached at t=0 — stopping.\n");

    // A model that runs out of events ends there, finished.
    SetUp();
    const auto b = signal("b", 1);
    process(proc_t::INITIAL, "init",
            {delay(1, 4), assign(assign_t::BA, 2, whole(b), expr({konst(1)}, 1)),
             stmt(assign_t::HALT, 3)});
    run(&errors);
    EXPECT_EQ(state().stop_reason(), wk::stop_reason_t::NO_MORE_EVENTS);
    EXPECT_TRUE(state().is_simulation_finished());
    EXPECT_EQ(errors, "");
    EXPECT_EQ(state().sim_time(), 4u);

    // A time limit ends the run at that time.
    SetUp();
    clock(signal("clk", 1), 5);
    state().sim_config.max_sim_time = 30;
    run(&errors);
    EXPECT_EQ(state().stop_reason(), wk::stop_reason_t::TIME_LIMIT);
    EXPECT_EQ(errors, "Max simulation time 30 ns (30 ticks) reached — stopping.\n");
    EXPECT_EQ(state().sim_time(), 30u);

    // The limit is given in the configured unit and counted in the model's ticks.
    SetUp();
    clock(signal("clk", 1), 500);
    state().timescale().tick_fs = 1000;  // 1 ps
    state().sim_config.max_sim_time = 3;
    state().sim_config.time_unit = "ns";
    run(&errors);
    EXPECT_EQ(errors, "Max simulation time 3 ns (3000 ticks) reached — stopping.\n");
    EXPECT_EQ(state().sim_time(), 3000u);
    state().timescale() = wk::timescale_t{};

    // Time never wraps around: what lies past the last time the simulation
    // counts is never reached, and the run says so.
    SetUp();
    const auto c = signal("c", 1);
    process(proc_t::INITIAL, "init",
            {delay(1, ~wk::time_t{0} - 10), delay(2, 100),
             assign(assign_t::BA, 3, whole(c), expr({konst(1)}, 1)), stmt(assign_t::HALT, 4)});
    run(&errors);
    EXPECT_EQ(state().stop_reason(), wk::stop_reason_t::TIME_LIMIT);
    EXPECT_EQ(state().sim_time(), ~wk::time_t{0} - 10);
    EXPECT_EQ(history("c"), (History{{0, 0}}));
    EXPECT_NE(errors.find("past the last time the simulation counts"), std::string::npos) << errors;
}

TEST_F(KernelTest, StepsCarryTheirStatementsAndTheQueues) {
    const auto clk = signal("clk", 1);
    const auto q = signal("q", 8);
    // always #5 clk = ~clk;  always @(posedge clk) q <= q + 1;
    clock(clk, 5);
    process(proc_t::ALWAYS, "count",
            {wait(10, clk, wk::edge_t::POS),
             assign(assign_t::NBA, 11, whole(q),
                    expr({{xop::LOAD, 8, 8, 0, q.type, q.pos, 0}, konst(1), op(xop::ADD, 8)}, 8))});
    state().sim_config.max_sim_time = 5;
    const std::string out = run();
    const auto& steps = rec().get_timeline();
    // The NBA statement is a step of its own at 5, with its update waiting
    // in the NBA region and the clock's next edge in the future.
    auto it = std::find_if(steps.begin(), steps.end(),
                           [](const ts::TimelineStep& s) { return s.currentLine == 11; });
    ASSERT_NE(it, steps.end());
    EXPECT_EQ(it->simulationTime, 5u);
    ASSERT_EQ(it->queues.nba.size(), 1u);
    EXPECT_EQ(it->queues.nba[0].line, 111);
    EXPECT_EQ(it->queues.nba[0].file_id, file_id);
    EXPECT_EQ(it->queues.nba[0].instance_id, "top");
    ASSERT_EQ(it->queues.future.size(), 1u);
    EXPECT_EQ(it->queues.future[0].when, 10u);
    EXPECT_EQ(history("q"), (History{{0, 0}, {5, 1}}));

    // The run's log ends with what was left waiting: the clock's next edge.
    EXPECT_TRUE(out.ends_with("   Future           : 2(10), ...\n   Driver Processes : 1, \n"
                              "   Simulation Time  : 5\n\n"))
        << out;
}

// A change wakes the waiters of its edge of the least significant bit, in
// the order they were registered; a change of the other bits wakes only
// those that wait for any change. A target of several signals stands once
// in the NBA region.
TEST_F(KernelTest, ChangesWakeTheirEdgesWaitersInOrder) {
    const auto v = signal("v", 4);
    const auto hits = signal("hits", 64);
    const auto a = signal("a", 2);
    const auto b = signal("b", 4);
    // Each waiter adds its own digit to `hits` when it wakes.
    auto waiter = [&](const std::string& name, wk::edge_t edge, uint64_t digit) {
        return process(proc_t::ALWAYS, name,
                       {wait(20, v, edge),
                        assign(assign_t::BA, 21, whole(hits),
                               expr({{xop::LOAD, 64, 64, 0, hits.type, hits.pos, 0}, konst(10),
                                     op(xop::MUL, 64), konst(digit), op(xop::ADD, 64)}))});
    };
    waiter("neg", wk::edge_t::NEG, 1);
    waiter("any1", wk::edge_t::ANY, 2);
    waiter("pos", wk::edge_t::POS, 3);
    waiter("any2", wk::edge_t::ANY, 4);
    // v: 0 -> 1 (rises) -> 3 (bit 1 only) -> 2 (falls); then {a, b} <= 6'h2d.
    wk::lvalue_t ab;
    ab.width = 6;
    ab.parts.push_back({a, 2, 2});
    ab.parts.push_back({b, 4, 4});
    process(proc_t::INITIAL, "drive",
            {delay(1, 1), assign(assign_t::BA, 2, whole(v), expr({konst(1)}, 4)),
             delay(3, 1), assign(assign_t::BA, 4, whole(v), expr({konst(3)}, 4)),
             delay(5, 1), assign(assign_t::BA, 6, whole(v), expr({konst(2)}, 4)),
             delay(7, 1), assign(assign_t::NBA, 8, state().add_lvalue(ab), expr({konst(0x2d)}, 6)),
             stmt(assign_t::HALT, 9)});
    run();
    EXPECT_EQ(history("hits"), (History{{0, 0}, {1, 2}, {1, 23}, {1, 234}, {2, 2342}, {2, 23424},
                                        {3, 234241}, {3, 2342412}, {3, 23424124}}));
    EXPECT_EQ(history("a"), (History{{0, 0}, {4, 2}}));
    EXPECT_EQ(history("b"), (History{{0, 0}, {4, 0xd}}));
    const auto& steps = rec().get_timeline();
    auto nba = std::find_if(steps.begin(), steps.end(),
                            [](const ts::TimelineStep& s) { return s.currentLine == 8; });
    ASSERT_NE(nba, steps.end());
    ASSERT_EQ(nba->queues.nba.size(), 1u);
    EXPECT_EQ(nba->queues.nba[0].line, 108);
}
