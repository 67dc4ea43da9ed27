#include "database.h"
#include "kernel.h"
#include "kernel_utils.h"
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

namespace {

// Builds small models by hand, the way the model builder fills the kernel.
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
        state().set_console_path(console_path());
        // Line-context index i maps to source line 100 + i.
        std::vector<std::pair<int, int>> ctx;
        for (int i = 0; i < 64; ++i)
            ctx.emplace_back(file_id, 100 + i);
        state().set_line_ctx_map(ctx);
        rec().set_line_ctx_map(ctx);
    }

    void register_signal(const std::string& name, int width) {
        rec().register_signal(name, 1, false, true, width);
        Database::instance().insertSignal(name, ++signal_ids, dir.file("top.sv"), 1, width, 1, 0,
                                          "reg", "top", 1);
    }

    static wk::sim_state& state() { return wk::sim_state::instance(); }
    static ts::TimeSeriesDB& rec() { return ts::TimeSeriesDB::instance(); }
    std::string console_path() const { return dir.file("console.txt"); }
    std::string console() const { return wexla_test::readFile(console_path()); }

    int bit_signal(const std::string& name, bool value = false) {
        register_signal(name, 1);
        rec().record_signal_change(name, value);
        return state().add_bit(wk::bit(value, false, name, 1));
    }
    int long_signal(const std::string& name, uint64_t value = 0) {
        register_signal(name, 32);
        rec().record_signal_change(name, static_cast<int64_t>(value));
        return state().add_long(wk::long_t(value, false, name, 1));
    }
    int byte_signal(const std::string& name, uint8_t value = 0) {
        register_signal(name, 8);
        rec().record_signal_change(name, value);
        return state().add_byte(wk::byte_t(value, false, name, 1));
    }

    static wk::assignment_t stmt(assign_t kind, wk::time_t delay, int lhs, int rhs, int exp,
                                 int line, int tr = 0, int ack = 0, int cond = 0,
                                 operand_t lt = operand_t::BIT, operand_t rt = operand_t::BIT) {
        return wk::assignment_t(kind, delay, lhs, rhs, exp, line, tr, ack, cond, line, lt, rt);
    }

    // always #half clk = ~clk;
    void clock(int clk, int half, int line) {
        wk::process_t p(line, "clkgen", proc_t::ALWAYS);
        auto a = stmt(assign_t::BA, half, clk, clk, state().add_op(wk::not_bit_val), line);
        a.set_always_loop(true);
        p.add_statement(a);
        state().add_process(p);
    }

    // A posedge trigger with its own consumption slot on the bit.
    std::pair<int, int> posedge(int b) {
        const unsigned slot = state().access_bits(b).add_triggered();
        return {state().add_trig(wk::make_posedge_trig_exp(b)),
                state().add_trig_ack(wk::make_trig_ack(b, slot))};
    }

    // A $display-like formatter printing `text`.
    int printer(const std::string& text, bool newline = true) {
        return state().add_exp([text, newline] {
            std::cout << text;
            if (newline)
                std::cout << std::endl;
            return true;
        });
    }
    int sf(const std::string& name) { return state().add_sf(wk::sf(name, false, name, 1)); }

    // Runs the kernel with standard output captured.
    std::string run() {
        std::ostringstream captured;
        auto* saved = std::cout.rdbuf(captured.rdbuf());
        try {
            state().run();
        } catch (...) {
            std::cout.rdbuf(saved);
            throw;
        }
        std::cout.rdbuf(saved);
        return captured.str();
    }

    std::string trace() const {
        std::ostringstream out;
        for (const auto& st : rec().get_timeline()) {
            out << st.step << " t=" << st.simulationTime << " line=" << st.currentLine << " |";
            for (const auto& [n, v] : st.signalState)
                out << " " << n << "=" << v;
            out << " | act" << st.queues.active.size() << " in" << st.queues.inactive.size()
                << " nba" << st.queues.nba.size() << " mon" << st.queues.monitor.size() << " obs"
                << st.queues.observed.size() << " fut[";
            for (const auto& q : st.queues.future)
                out << q.line << "@" << q.when << " ";
            out << "]\n";
        }
        return out.str();
    }

    // (time, value) of every recorded change of a signal, first value included.
    static std::vector<std::pair<wk::time_t, int64_t>> history(const std::string& name) {
        std::vector<std::pair<wk::time_t, int64_t>> out;
        for (const auto& st : rec().get_timeline()) {
            const int64_t v = st.signalState.at(name);
            if (out.empty() || out.back().second != v)
                out.emplace_back(st.simulationTime, v);
        }
        return out;
    }

    // A statement of an initial block at an absolute time: target = value.
    void at_time(wk::process_t& p, wk::time_t t, int target, bool value, int line) {
        auto a = stmt(assign_t::BA, 0, target, 0,
                      state().add_exp(value ? wk::true_always : wk::false_always), line);
        p.add_statement(a);
        p.ith_statement(p.number_of_statements() - 1)->set_static_time(t);
    }
    void at_time_sf(wk::process_t& p, wk::time_t t, const std::string& name, int formatter,
                    int line, int cond = 0) {
        p.add_statement(stmt(assign_t::SF, 0, sf(name), formatter, 0, line, 0, 0, cond));
        p.ith_statement(p.number_of_statements() - 1)->set_static_time(t);
    }

    using History = std::vector<std::pair<wk::time_t, int64_t>>;

    wexla_test::TempDir dir;
    int file_id = -1;
    int signal_ids = 0;
};

// --- value stores -----------------------------------------------------------

TEST(ValueStore, UpdateMarksChangesEdgesAndGlitches) {
    wk::bit b(false, false, "b", 3);
    b.update(true, 4);
    EXPECT_TRUE(b.changed());
    EXPECT_TRUE(b.posedge_occurred());
    EXPECT_TRUE(b.glitched());
    b.update(false, 5);
    EXPECT_TRUE(b.negedge_occurred());
    EXPECT_TRUE(b.posedge_occurred()); // both edges stay until reset
    b.update(false, 6);                // same value: clears changed, keeps the rest
    EXPECT_FALSE(b.changed());
    EXPECT_TRUE(b.glitched());
    EXPECT_EQ(b.time(), 6u);
    b.reset_edge_flags();
    b.reset_glitch();
    EXPECT_FALSE(b.posedge_occurred() || b.negedge_occurred() || b.glitched());

    wk::byte_t v(0, false, "v", 1);
    v.update(5, 1);
    EXPECT_TRUE(v.posedge_occurred());
    v.reset_edge_flags();
    v.update(7, 2);
    EXPECT_FALSE(v.posedge_occurred() || v.negedge_occurred());
    EXPECT_TRUE(v.changed());
    v.update(0, 3);
    EXPECT_TRUE(v.negedge_occurred());
}

TEST(ValueStore, TriggerSlots) {
    wk::bit b(false, false, "b", 0);
    const unsigned s0 = b.add_triggered();
    const unsigned s1 = b.add_triggered();
    EXPECT_EQ(s0, 0u);
    EXPECT_EQ(s1, 1u);
    // Never written and nothing pending: consumed whatever the slots say.
    EXPECT_TRUE(b.is_trigger_consumed());
    EXPECT_TRUE(b.is_trigger_consumed(5));
    b.update(true, 10);
    b.trigger_consumed(s0);
    EXPECT_FALSE(b.is_trigger_consumed());
    EXPECT_FALSE(b.is_trigger_consumed(5));
    EXPECT_TRUE(b.is_trigger_consumed(0));
    b.trigger_consumed(s1);
    EXPECT_TRUE(b.is_trigger_consumed(5));
    b.reset_triggered();
    EXPECT_FALSE(b.is_trigger_consumed(1));
    wk::long_t pending(0, false, "p", 0);
    pending.add_triggered();
    pending.next_update(7);
    EXPECT_FALSE(pending.is_trigger_consumed(2));
}

// --- statements and state -----------------------------------------------------

TEST_F(KernelTest, StatementsCopyAndStaticTimes) {
    auto a = stmt(assign_t::BA, 2, 0, 0, 0, 1);
    EXPECT_EQ(a.last_evaluated_time(), wk::never_evaluated);
    EXPECT_TRUE(a.condition_snapshot());
    a.set_instance_id("top.u1");
    wk::process_t p(1, "top.u1.p", proc_t::INITIAL);
    p.add_statement(a);
    EXPECT_EQ(p.ith_statement(0)->instance_id(), "");
    EXPECT_TRUE(p.ith_statement(0)->is_initial());
    EXPECT_EQ(p.ith_statement(0)->process_name(), "top.u1.p");

    a.set_static_time(25);
    a.rescale_static_time();
    EXPECT_EQ(a.time(), 25u);
    state().timescale() = {1000, 1, true};
    a.rescale_static_time();
    EXPECT_EQ(a.time(), 25000u);
    EXPECT_EQ(wk::scale_delay(3), 3000u);
    EXPECT_EQ(wk::scale_delay(0), 0u);
    state().timescale().time_prec_ps = 0;
    EXPECT_EQ(wk::scale_delay(3), 3u);

    const int display = sf("$display");
    const int finish = sf("$finish");
    EXPECT_FALSE(stmt(assign_t::SF, 0, display, 0, 0, 1).is_finish(&state()));
    EXPECT_TRUE(stmt(assign_t::SF, 0, finish, 0, 0, 1).is_finish(&state()));
    EXPECT_FALSE(stmt(assign_t::BA, 0, finish, 0, 0, 1).is_finish(&state()));
}

TEST_F(KernelTest, ClearLeavesSentinelsAndResetsRunFlags) {
    bit_signal("x");
    state().add_exp(wk::false_always);
    state().halt_simulation();
    state().finish_simulation();
    state().clear();
    EXPECT_EQ(state().all_bits_size(), 1);
    EXPECT_EQ(state().all_bytes_size(), 1);
    EXPECT_EQ(state().all_longs_size(), 1);
    EXPECT_TRUE(state().exps(0)());
    EXPECT_EQ(state().trigs(0)(), std::make_pair(true, wk::time_t{0}));
    EXPECT_FALSE(state().ops(0)(state().access_bits(0)));
    EXPECT_EQ(state().props(0).name(), "__sentinel__");
    EXPECT_EQ(state().sfs(0).state(), "");
    EXPECT_FALSE(state().simulation_halted());
    EXPECT_FALSE(state().is_simulation_finished());

    EXPECT_EQ(state().get_line_context(-1), std::make_pair(-1, -1));
    EXPECT_EQ(state().get_line_context(64), std::make_pair(-1, -1));
    EXPECT_EQ(state().get_line_context(3), std::make_pair(file_id, 103));

    state().resume_simulation(); // not halted: nothing
    EXPECT_FALSE(state().simulation_to_be_resumed());
    state().halt_simulation();
    state().resume_simulation();
    EXPECT_TRUE(state().simulation_to_be_resumed());
    EXPECT_FALSE(state().simulation_halted());

    const int l = long_signal("l", 7);
    state().snapshot_pre_nba();
    state().access_longs(l).update(9, 1);
    EXPECT_EQ(state().read_signal_val_snap(l, operand_t::LONG), 7u);
    state().clear_pre_nba_snapshot();
    EXPECT_EQ(state().read_signal_val_snap(l, operand_t::LONG), 9u);
    EXPECT_EQ(state().pre_nba_long(l), 7u);
}

// --- closure factories --------------------------------------------------------

TEST_F(KernelTest, TriggerCombinators) {
    auto fixed = [&](bool fired, wk::time_t t) {
        return state().add_trig([=] { return std::make_pair(fired, t); });
    };
    const int f5 = fixed(true, 5), u3 = fixed(false, 3), u8 = fixed(false, 8), f9 = fixed(true, 9),
              u2 = fixed(false, 2);
    EXPECT_EQ(wk::make_trig_or(u3, f5)(), std::make_pair(true, wk::time_t{5}));
    EXPECT_EQ(wk::make_trig_or(f5, f9)(), std::make_pair(true, wk::time_t{5}));
    EXPECT_EQ(wk::make_trig_or(u3, u8)(), std::make_pair(false, wk::time_t{8}));
    EXPECT_EQ(wk::make_trig_and(f5, u2)(), std::make_pair(false, wk::time_t{2}));
    EXPECT_EQ(wk::make_trig_and(f5, f9)(), std::make_pair(true, wk::time_t{9}));

    const int b = bit_signal("b");
    const unsigned s0 = state().access_bits(b).add_triggered();
    const unsigned s1 = state().access_bits(b).add_triggered();
    state().access_bits(b).update(true, 4);
    const auto pos = wk::make_posedge_trig_exp(b);
    EXPECT_EQ(pos(), std::make_pair(true, wk::time_t{4}));
    EXPECT_FALSE(wk::make_negedge_trig_exp(b)().first);
    EXPECT_TRUE(wk::make_anyedge_trig_exp(b)().first);
    const int a0 = state().add_trig_ack(wk::make_trig_ack(b, s0));
    const int a1 = state().add_trig_ack(wk::make_trig_ack(b, s1));
    state().trig_acks(a0)();
    EXPECT_TRUE(state().access_bits(b).changed());
    wk::make_call_all_trig_ack(a0, a1)();
    EXPECT_FALSE(state().access_bits(b).changed());
    EXPECT_FALSE(pos().first);
}

TEST_F(KernelTest, ConditionClosures) {
    const int one = bit_signal("one", true);

    int calls = 0;
    const int f = state().add_exp([&] { ++calls; return false; });
    const int t = state().add_exp([&] { ++calls; return true; });
    EXPECT_FALSE(wk::make_bool_and(f, t)());
    EXPECT_EQ(calls, 2); // the second closure still runs
    EXPECT_TRUE(wk::make_bool_or(t, f)());
    EXPECT_EQ(calls, 4);
    EXPECT_TRUE(wk::make_call_all(f, f)());

    // Typed forms read a wide signal in its own store, never the bit store.
    const int v = byte_signal("v", 6);
    const int k = long_signal("k", 6);
    EXPECT_TRUE(wk::make_state(v, operand_t::BYTE)());
    EXPECT_FALSE(wk::make_not_state(v, operand_t::BYTE)());
    EXPECT_TRUE(wk::make_eq_state(v, operand_t::BYTE, k, operand_t::LONG)());
    EXPECT_FALSE(wk::make_not_eq_state(v, operand_t::BYTE, k, operand_t::LONG)());
    const unsigned slot = state().access_bytes(v).add_triggered();
    state().access_bytes(v).update(7, 3); // least significant bit rises
    EXPECT_EQ(wk::make_posedge_trig_exp(v, operand_t::BYTE)(), std::make_pair(true, wk::time_t{3}));
    EXPECT_FALSE(wk::make_negedge_trig_exp(v, operand_t::BYTE)().first);
    EXPECT_TRUE(wk::make_anyedge_trig_exp(v, operand_t::BYTE)().first);
    wk::make_trig_ack(v, operand_t::BYTE, slot)();
    EXPECT_FALSE(state().access_bytes(v).changed());
    EXPECT_FALSE(state().access_bits(one).state() == false); // bit store untouched

    // The monitor tells a byte from the bit at the same position.
    state().register_monitor(1, {v}, {operand_t::BYTE});
    EXPECT_FALSE(state().monitor_watches(v, operand_t::BYTE)); // not started yet
    state().start_monitor(1);
    EXPECT_TRUE(state().monitor_watches(v, operand_t::BYTE));
    EXPECT_FALSE(state().monitor_watches(v, operand_t::BIT));

    // A two-sequent chain: advances one sequent per true answer.
    wk::sequence seq;
    seq._sequent = {state().add_exp(wk::true_always), state().add_exp(wk::true_always)};
    const int q = state().add_seq(seq);
    const auto eval = wk::make_seq_eval(q);
    EXPECT_FALSE(eval());
    EXPECT_TRUE(eval());
    EXPECT_TRUE(eval()); // already complete
}

// --- the scheduler ------------------------------------------------------------

TEST_F(KernelTest, ClockDrivesNonBlockingCounter) {
    const int clk = bit_signal("clk");
    const int q = bit_signal("q");
    const int cnt = long_signal("cnt");
    clock(clk, 5, 1);
    wk::process_t p(2, "top.cnt", proc_t::ALWAYS);
    auto [tr, ack] = posedge(clk);
    p.add_statement(stmt(assign_t::NBA, 0, q, q, state().add_op(wk::not_bit_val), 2, tr, ack));
    // cnt <= cnt + 1, the closure writing the target from the pre-NBA value.
    const int inc = state().add_exp([cnt] {
        auto& s = wk::sim_state::instance();
        s.access_longs(cnt).update(s.read_signal_val_snap(cnt, operand_t::LONG) + 1, s.sim_time());
        return true;
    });
    auto [tr2, ack2] = posedge(clk);
    p.add_statement(stmt(assign_t::NBA, 0, cnt, 0, inc, 3, tr2, ack2, 0, operand_t::LONG));
    state().add_process(p);
    state().sim_config.max_sim_cycle = 12;
    run();

    // Prepare at 0, then each rising edge (5, 15, 25, 35) takes the clock
    // cycle and one more cycle in which the non-blocking writes land.
    const char* expected =
        "0 t=0 line=-1 | clk=0 cnt=0 q=0 | act0 in0 nba0 mon0 obs0 fut[101@5 ]\n"
        "1 t=5 line=-1 | clk=0 cnt=0 q=0 | act0 in1 nba0 mon0 obs0 fut[]\n"
        "2 t=5 line=1 | clk=1 cnt=0 q=0 | act0 in0 nba0 mon0 obs0 fut[]\n"
        "3 t=5 line=-1 | clk=1 cnt=0 q=0 | act0 in0 nba0 mon0 obs0 fut[101@10 102@5 103@5 ]\n"
        "4 t=5 line=-1 | clk=1 cnt=0 q=0 | act0 in0 nba2 mon0 obs0 fut[101@10 ]\n"
        "5 t=5 line=-1 | clk=1 cnt=1 q=1 | act0 in0 nba0 mon0 obs0 fut[101@10 ]\n"
        "6 t=10 line=-1 | clk=1 cnt=1 q=1 | act0 in1 nba0 mon0 obs0 fut[]\n"
        "7 t=10 line=1 | clk=0 cnt=1 q=1 | act0 in0 nba0 mon0 obs0 fut[]\n"
        "8 t=10 line=-1 | clk=0 cnt=1 q=1 | act0 in0 nba0 mon0 obs0 fut[101@15 ]\n";
    EXPECT_EQ(trace().substr(0, std::string(expected).size()), expected);
    EXPECT_EQ(history("cnt"), (History{{0, 0}, {5, 1}, {15, 2}, {25, 3}, {35, 4}}));
    EXPECT_EQ(history("q"), (History{{0, 0}, {5, 1}, {15, 0}, {25, 1}, {35, 0}}));
    EXPECT_EQ(wk::stop_reason_text(state().stop_reason()), std::string("cycle limit"));
    EXPECT_TRUE(state().simulation_halted());
    // The recorded queue items carry the line context and the instance.
    const auto& step3 = rec().get_timeline()[3].queues.future;
    EXPECT_EQ(step3[0].file_id, file_id);
    EXPECT_EQ(step3[0].line, 101);
}

TEST_F(KernelTest, BlockingWritesSeeEachOtherAndAreStepsOfTheirOwn) {
    const int clk = bit_signal("clk");
    const int c = bit_signal("c");
    const int d = bit_signal("d", true);
    const int bitop = state().add_op(wk::bit_val);
    clock(clk, 5, 1);
    wk::process_t copy(4, "top.copy", proc_t::ALWAYS);
    auto t3 = posedge(clk), t4 = posedge(clk);
    copy.add_statement(stmt(assign_t::BA, 0, c, d, bitop, 4, t3.first, t3.second));
    copy.add_statement(stmt(assign_t::BA, 0, d, c, bitop, 5, t4.first, t4.second));
    state().add_process(copy);
    state().sim_config.max_sim_cycle = 4;
    run();
    // Both end with d's old value.
    EXPECT_EQ(history("c"), (History{{0, 0}, {5, 1}}));
    EXPECT_EQ(history("d"), (History{{0, 1}}));
    // The blocking writes are recorded as steps of their own, in order.
    std::vector<int> lines_at_5;
    for (const auto& st : rec().get_timeline())
        if (st.simulationTime == 5 && st.currentLine != -1)
            lines_at_5.push_back(st.currentLine);
    EXPECT_EQ(lines_at_5, (std::vector<int>{1, 4, 5}));
}

TEST_F(KernelTest, DelaysAndStaticallyScheduledStatements) {
    const int x = bit_signal("x");
    const int y = bit_signal("y");
    const int z = bit_signal("z");
    const int w = bit_signal("w");
    wk::process_t init(1, "top.init", proc_t::INITIAL);
    at_time(init, 3, x, true, 1);
    at_time(init, 12, y, true, 2);
    init.add_statement(stmt(assign_t::BA, 7, z, 0, state().add_exp(wk::true_always), 3));
    at_time(init, 20, x, false, 4);
    state().add_process(init);
    // assign #2 w = x; re-polled every two time units.
    wk::process_t ca(5, "top.w", proc_t::ASSIGN);
    ca.add_statement(stmt(assign_t::CA, 2, w, x, 0, 5));
    state().add_process(ca);
    state().sim_config.max_sim_cycle = 40;
    run();
    EXPECT_EQ(history("x"), (History{{0, 0}, {3, 1}, {20, 0}}));
    EXPECT_EQ(history("y"), (History{{0, 0}, {12, 1}}));
    EXPECT_EQ(history("z"), (History{{0, 0}, {7, 1}}));
    EXPECT_EQ(history("w"), (History{{0, 0}, {4, 1}, {20, 0}}));
    // A statically scheduled statement runs exactly once.
    auto* first = state().all_processes()[0].ith_statement(0);
    EXPECT_TRUE(first->ever_fired());
    const size_t before = state().access_queue(wk::future).size();
    first->commit_to_future();
    EXPECT_EQ(state().access_queue(wk::future).size(), before);
}

TEST_F(KernelTest, ContinuousAssignmentsReachTheirFixpoint) {
    const int clk = bit_signal("clk");
    const int nclk = bit_signal("nclk");
    const int copy = bit_signal("copy");
    const int both = bit_signal("both");
    const int wide = long_signal("wide");
    clock(clk, 5, 1);
    // Declared against the flow of data, so one pass is not enough.
    wk::process_t p3(4, "top.both", proc_t::ASSIGN);
    const int and_exp = state().add_exp([copy, clk] {
        auto& s = wk::sim_state::instance();
        return s.access_bits(copy).state() && !s.access_bits(clk).state();
    });
    p3.add_statement(stmt(assign_t::CA, 0, both, 0, and_exp, 4));
    state().add_process(p3);
    wk::process_t p2(3, "top.copy", proc_t::ASSIGN);
    p2.add_statement(stmt(assign_t::CA, 0, copy, nclk, 0, 3));
    state().add_process(p2);
    wk::process_t p1(2, "top.nclk", proc_t::ASSIGN);
    p1.add_statement(stmt(assign_t::CA, 0, nclk, clk, state().add_op(wk::not_bit_val), 2));
    state().add_process(p1);
    wk::process_t p4(5, "top.wide", proc_t::ASSIGN);
    p4.add_statement(stmt(assign_t::CA, 0, wide, copy, 0, 5, 0, 0, 0, operand_t::LONG));
    state().add_process(p4);
    state().sim_config.max_sim_cycle = 10;
    run();
    int checked = 0;
    for (const auto& st : rec().get_timeline()) {
        if (st.currentLine != -1 || st.step == 0)
            continue; // before the first fixpoint, or a statement step before the next
        const auto& v = st.signalState;
        EXPECT_EQ(v.at("nclk"), 1 - v.at("clk")) << st.step;
        EXPECT_EQ(v.at("copy"), v.at("nclk")) << st.step;
        EXPECT_EQ(v.at("both"), v.at("copy") && !v.at("clk")) << st.step;
        EXPECT_EQ(v.at("wide"), v.at("copy")) << st.step;
        ++checked;
    }
    EXPECT_GT(checked, 8);
    const History both_history = history("both");
    EXPECT_EQ(History(both_history.begin(), both_history.begin() + 6),
              (History{{0, 0}, {0, 1}, {5, 0}, {10, 1}, {15, 0}, {20, 1}}));
}

TEST_F(KernelTest, SystemTasksWriteTheConsoleAndFinishEndsTheRun) {
    const int clk = bit_signal("clk");
    const int q = bit_signal("q");
    clock(clk, 5, 1);
    wk::process_t tog(2, "top.tog", proc_t::ALWAYS);
    auto [tr, ack] = posedge(clk);
    tog.add_statement(stmt(assign_t::NBA, 0, q, q, state().add_op(wk::not_bit_val), 2, tr, ack));
    state().add_process(tog);
    const int mon = state().add_exp([q] {
        auto& s = wk::sim_state::instance();
        s.display_log() << "t=" << s.sim_time() << " q=" << s.access_bits(q).state() << "\n";
        s.display_log().flush();
        return true;
    });
    state().register_monitor(mon, {q}, {operand_t::BIT});
    wk::process_t init(3, "top.init", proc_t::INITIAL);
    init.add_statement(stmt(assign_t::MONITOR_REG, 0, sf("$monitor"), mon, 0, 3));
    at_time_sf(init, 7, "$display", printer("hello"), 4);
    at_time_sf(init, 8, "$write", printer("ab", false), 5);
    at_time_sf(init, 8, "$write", printer("cd", false), 6);
    at_time_sf(init, 9, "$display", printer("never"), 7, state().add_exp(wk::false_always));
    at_time_sf(init, 10, "$finish", 0, 8, state().add_exp(wk::false_always));
    at_time_sf(init, 20, "$finish", 0, 9);
    at_time_sf(init, 30, "$display", printer("too late"), 10);
    state().add_process(init);
    const std::string out = run();

    std::ostringstream banner;
    wk::sim_state::write_banner(banner);
    EXPECT_EQ(console(), banner.str() + "\n" +
                             "t=0 q=0\n"
                             "t=5 q=1\n"
                             "hello\n"
                             "abcdt=15 q=0\n");
    EXPECT_TRUE(state().is_simulation_finished());
    EXPECT_FALSE(state().simulation_halted());
    EXPECT_EQ(state().stop_reason(), wk::stop_reason_t::FINISH);
    EXPECT_EQ(state().sim_time(), 20u);
    EXPECT_NE(out.find("1. Design Preparation\n2. Simulation Begins\n"), std::string::npos);
    EXPECT_NE(out.find("   Queue Status \n"), std::string::npos);
}

TEST_F(KernelTest, PropertiesSeeTheValuesSampledWhenTheTimeStepBegan) {
    const int a = bit_signal("a");
    const int v = byte_signal("v", 1);
    const int w = long_signal("w", 7);
    auto write = [&](bool av, uint8_t vv, uint64_t wv, wk::time_t t) {
        state().access_bits(a).update(av, t);
        state().access_bytes(v).update(vv, t);
        state().access_longs(w).update(wv, t);
    };
    // A model without properties keeps nothing: sampled reads are current.
    state().sample_time_step(5);
    write(true, 1, 7, 5);
    EXPECT_EQ(state().sampled_signal_val(a, operand_t::BIT), 1u);
    state().show_sampled_values();
    EXPECT_FALSE(state().showing_sampled_values());

    wk::prop_t p("p", 1);
    const int entry = state().add_stable_entry(wk::stable_entry(w, operand_t::LONG));
    p.add_stable_dep(entry);
    const int prop = state().add_prop(p);
    state().sample_time_step(10);
    state().update_stable_deps(state().props(prop)); // the tick before: w = 7
    write(false, 2, 9, 10);
    state().sample_time_step(10); // the same time step keeps its values
    EXPECT_EQ(state().sampled_signal_val(a, operand_t::BIT), 1u);
    EXPECT_EQ(state().sampled_signal_val(v, operand_t::BYTE), 1u);
    EXPECT_EQ(state().sampled_signal_val(w, operand_t::LONG), 7u);

    // Shown values replace the current ones; marks and time stamps stay.
    state().show_sampled_values();
    EXPECT_TRUE(state().access_bits(a).state());
    EXPECT_TRUE(state().access_bits(a).changed());
    EXPECT_TRUE(state().access_bits(a).negedge_occurred());
    EXPECT_EQ(state().access_bits(a).time(), 10u);
    EXPECT_EQ(state().read_signal_val(v, operand_t::BYTE), 1u);
    EXPECT_EQ(state().read_signal_val(w, operand_t::LONG), 7u);
    const int reads_a = state().add_exp(wk::make_state(a));
    EXPECT_TRUE(state().exps(reads_a)());
    EXPECT_FALSE(state().evaluate_on_current_values(reads_a));
    EXPECT_FALSE(wk::make_current_value_exp(reads_a)());
    EXPECT_TRUE(state().exps(reads_a)()); // sampled again afterwards
    state().show_current_values();
    EXPECT_FALSE(state().access_bits(a).state());
    EXPECT_EQ(state().read_signal_val(v, operand_t::BYTE), 2u);
    EXPECT_EQ(state().read_signal_val(w, operand_t::LONG), 9u);
    EXPECT_TRUE(state().access_bits(a).changed());

    // The next time step samples 9; against 7 at the tick before, w changed
    // and its least significant bit stayed high.
    state().sample_time_step(20);
    EXPECT_EQ(state().sampled_signal_val(w, operand_t::LONG), 9u);
    const auto e = static_cast<unsigned>(entry);
    EXPECT_TRUE(wk::make_sampled_changed(e)());
    EXPECT_FALSE(wk::make_sampled_stable(e)());
    EXPECT_FALSE(wk::make_sampled_rose(e)());
    EXPECT_FALSE(wk::make_sampled_fell(e)());
    state().update_stable_deps(state().props(prop));
    write(false, 2, 8, 20);
    state().sample_time_step(30);
    EXPECT_TRUE(wk::make_sampled_fell(e)());
    EXPECT_FALSE(wk::make_sampled_rose(e)());
    // An entry never sampled is stable and has neither changed nor risen.
    const auto fresh = static_cast<unsigned>(
        state().add_stable_entry(wk::stable_entry(w, operand_t::LONG)));
    EXPECT_TRUE(wk::make_sampled_stable(fresh)());
    EXPECT_FALSE(wk::make_sampled_changed(fresh)());
    EXPECT_FALSE(wk::make_sampled_rose(fresh)());

    // clear() forgets the values with the stores.
    state().clear();
    EXPECT_FALSE(state().showing_sampled_values());
    EXPECT_FALSE(state().has_properties());
}

TEST_F(KernelTest, CycleAndDeltaLimitsStopAndTellWhy) {
    state().sim_config.max_sim_cycle = 3;
    testing::internal::CaptureStderr();
    const std::string out = run();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(out.find("No processes found for Simulation\n"), std::string::npos);
    EXPECT_NE(err.find("[SIM] Max simulation cycles (3) reached at t=0 — stopping.\n"),
              std::string::npos);
    EXPECT_TRUE(state().simulation_halted());
    EXPECT_EQ(state().stop_reason(), wk::stop_reason_t::QUEUES_DRAINED);

    state().clear();
    clock(bit_signal("clk"), 5, 1);
    state().sim_config.max_sim_cycle = 3;
    run();
    EXPECT_EQ(state().stop_reason(), wk::stop_reason_t::CYCLE_LIMIT);
    EXPECT_EQ(state().sim_time(), 15u);

    // A zero-delay loop stops at the delta limit, not halted.
    state().clear();
    const int x = bit_signal("x");
    wk::process_t loop(1, "top.loop", proc_t::ALWAYS);
    auto a = stmt(assign_t::BA, 0, x, x, state().add_op(wk::not_bit_val), 1);
    a.set_always_loop(true);
    loop.add_statement(a);
    state().add_process(loop);
    state().sim_config = wk::sim_state::SimConfig{};
    state().sim_config.max_delta_cycles = 5;
    testing::internal::CaptureStderr();
    run();
    EXPECT_NE(testing::internal::GetCapturedStderr().find(
                  "[SIM] Max delta cycles (5) reached at t=0 — stopping.\n"),
              std::string::npos);
    EXPECT_EQ(state().stop_reason(), wk::stop_reason_t::DELTA_LIMIT);
    EXPECT_FALSE(state().simulation_halted());
}

TEST_F(KernelTest, TimeLimitLetsTheFirstStepPastItRun) {
    const int x = bit_signal("x");
    const int y = bit_signal("y");
    wk::process_t init(1, "top.init", proc_t::INITIAL);
    at_time(init, 5, x, true, 1);
    at_time(init, 12, y, true, 2);
    state().add_process(init);
    state().sim_config.max_sim_time = 10;
    const std::string out = run();
    EXPECT_EQ(history("y"), (History{{0, 0}, {12, 1}}));
    EXPECT_NE(out.find("Max simulation time 10 reached — stopping.\n"), std::string::npos);
    EXPECT_EQ(state().stop_reason(), wk::stop_reason_t::TIME_LIMIT);
    EXPECT_FALSE(state().simulation_halted());

    rec().clear();
    state().clear();
    const int z = bit_signal("z");
    wk::process_t second(1, "top.init", proc_t::INITIAL);
    at_time(second, 5, z, true, 1);
    at_time(second, 10, z, false, 2);
    at_time(second, 15, z, true, 3);
    state().add_process(second);
    run();
    EXPECT_EQ(history("z"), (History{{0, 0}, {5, 1}, {10, 0}}));
    EXPECT_EQ(state().sim_time(), 10u);
}

TEST_F(KernelTest, QueueOverrunAbortsTheRun) {
    const int x = bit_signal("x");
    // Keep the recorder out of the way: the table is already full.
    Database::instance().exec_sql(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000) "
        "INSERT INTO timeline SELECT 0, 0, NULL, NULL, 1, 0 FROM n;");
    auto build = [&](int statements) {
        state().clear();
        state().add_bit(wk::bit(false, false, "x", 1));
        wk::process_t init(1, "top.init", proc_t::INITIAL);
        for (int i = 0; i < statements; ++i)
            init.add_statement(stmt(assign_t::BA, 5, x, x, state().add_op(wk::not_bit_val), 1));
        state().add_process(init);
        state().sim_config.max_sim_cycle = 5;
    };
    build(1001); // exactly what one drain may take
    std::string out = run();
    EXPECT_EQ(out.find("Queue iteration exceeded"), std::string::npos);
    EXPECT_EQ(state().stop_reason(), wk::stop_reason_t::QUEUES_DRAINED);
    EXPECT_TRUE(state().access_bits(x).state()); // 1001 toggles

    build(1002);
    out = run();
    EXPECT_NE(out.find("Queue iteration exceeded — aborting.\n"), std::string::npos);
    EXPECT_EQ(state().stop_reason(), wk::stop_reason_t::QUEUE_OVERRUN);
    EXPECT_FALSE(state().simulation_halted());
}

TEST_F(KernelTest, ResumeKeepsTheConsoleAndANewRunStartsIt) {
    const int clk = bit_signal("clk");
    clock(clk, 5, 1);
    wk::process_t show(2, "top.show", proc_t::ALWAYS);
    auto [tr, ack] = posedge(clk);
    const int fmt = state().add_exp([] {
        std::cout << "edge at " << wk::sim_state::instance().sim_time() << std::endl;
        return true;
    });
    show.add_statement(stmt(assign_t::SF, 0, sf("$display"), fmt, 0, 2, tr, ack));
    state().add_process(show);
    state().sim_config.max_sim_cycle = 4;
    run();
    ASSERT_TRUE(state().simulation_halted());
    std::ostringstream banner;
    wk::sim_state::write_banner(banner);
    const std::string first = banner.str() + "\nedge at 5\n";
    EXPECT_EQ(console(), first);

    // A halted run that was not resumed does nothing.
    run();
    EXPECT_EQ(console(), first);

    state().resume_simulation();
    run();
    // A fresh budget of four cycles from the pending statement at 15.
    EXPECT_EQ(console(), first + "edge at 15\nedge at 25\n");
    EXPECT_EQ(history("clk").back(), (std::pair<wk::time_t, int64_t>{25, 1}));

    // A finished run no longer blocks the next model's resume.
    state().finish_simulation();
    rec().clear();
    state().clear();
    clock(bit_signal("clk"), 5, 1);
    state().sim_config.max_sim_cycle = 2;
    run();
    EXPECT_EQ(console(), banner.str() + "\n");
    state().resume_simulation();
    run();
    EXPECT_GT(state().sim_time(), 5u);
}

TEST_F(KernelTest, QueueDumpAndCapture) {
    auto a = stmt(assign_t::BA, 0, 0, 0, 0, 12);
    auto b = stmt(assign_t::BA, 0, 0, 0, 0, 7);
    auto c = stmt(assign_t::BA, 0, 0, 0, 0, 3);
    b.set_instance_id("top.u1");
    a.set_static_time(5);
    b.set_static_time(5);
    c.set_static_time(10);
    state().access_queue(wk::inactive) = {&a, &b};
    state().access_queue(wk::future) = {&c};
    std::ostringstream out;
    auto* saved = std::cout.rdbuf(out.rdbuf());
    state().print_state();
    std::cout.rdbuf(saved);
    EXPECT_EQ(out.str(), "\n"
                         "   Queue Status \n"
                         "   ------------ \n"
                         "   Active           : \n"
                         "   Inactive         : 12(5), 7(5), \n"
                         "   Non Blocking     : \n"
                         "   Monitor          : \n"
                         "   Observed         : \n"
                         "   Future           : 3(10), ...\n"
                         "   Driver Processes : 3, 7, 12, \n"
                         "   Simulation Time  : 0\n"
                         "\n");

    state().set_line_instance_map({{12, {"top.map"}}});
    rec().register_line_instance(3, "top.rec");
    ts::QueueState qs;
    qs.nba.emplace_back(1, 1, 1, "stale");
    state().capture_queue_state(qs);
    EXPECT_TRUE(qs.nba.empty());
    ASSERT_EQ(qs.inactive.size(), 2u);
    EXPECT_EQ(qs.inactive[0], ts::QueueItem(file_id, 112, 5, "top.map"));
    EXPECT_EQ(qs.inactive[1], ts::QueueItem(file_id, 107, 5, "top.u1"));
    EXPECT_EQ(qs.future[0], ts::QueueItem(file_id, 103, 10, "top.rec"));
    state().access_queue(wk::inactive).clear();
    state().access_queue(wk::future).clear();
}

TEST_F(KernelTest, FutureSchedulingRules) {
    const int x = bit_signal("x");
    const int y = bit_signal("y");
    state().sim_time() = 10;
    wk::process_t p(1, "top.p", proc_t::ALWAYS);
    p.add_statement(stmt(assign_t::BA, 0, x, y, 0, 1));
    state().add_process(p);
    auto* ba = state().all_processes()[0].ith_statement(0);
    ba->commit_to_future();
    EXPECT_EQ(state().access_queue(wk::future).size(), 1u);
    // Taken and run at 10: not again at 10, again at 11.
    state().access_queue(wk::future).clear();
    ba->out_of_future();
    ba->set_last_fired(10);
    ba->commit_to_future();
    EXPECT_TRUE(state().access_queue(wk::future).empty());
    state().sim_time() = 11;
    ba->commit_to_future();
    EXPECT_EQ(state().access_queue(wk::future).size(), 1u);
    state().access_queue(wk::future).clear();

    // A triggered monitor registration whose trigger has not fired is parked
    // just before the next pending event.
    const int never = state().add_trig([] { return std::make_pair(false, wk::time_t{0}); });
    auto later = stmt(assign_t::BA, 0, 0, 0, 0, 2);
    later.set_static_time(5);
    state().sim_time() = 0;
    state().access_queue(wk::future) = {&later};
    auto mon = stmt(assign_t::MONITOR_REG, 0, 1, 1, 0, 3, never, 0);
    mon.commit_to_future();
    ASSERT_EQ(state().access_queue(wk::future).size(), 2u);
    EXPECT_EQ(mon.time(), 4u);
    EXPECT_TRUE(mon.is_recommitted());
    later.set_static_time(1);
    state().access_queue(wk::future) = {&later};
    auto mon2 = stmt(assign_t::MONITOR_REG, 0, 1, 1, 0, 3, never, 0);
    mon2.commit_to_future();
    EXPECT_EQ(mon2.time(), 1u);
    state().access_queue(wk::future).clear();

    // Statements whose indices are closures or system functions never touch
    // the bit cell at the same position.
    const int z = bit_signal("z");
    state().access_bits(z).update(true, 7);
    auto display = stmt(assign_t::MONITOR_REG, 3, z, z, 0, 4);
    display.commit_to_future();
    EXPECT_EQ(display.time(), 3u); // from now, not from the bit's time stamp 7
    EXPECT_EQ(state().access_bits(z).next_update(), 0u);
    state().access_queue(wk::future).clear();
}

} // namespace
