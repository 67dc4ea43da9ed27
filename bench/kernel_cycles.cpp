// Runs models of N registers toggled on every rising clock edge for the
// default 1,000 cycles (one time step each) and prints the time per cycle
// and peak memory for each N. Each N runs in a child process so that its peak
// memory is its own.
//
// Two rows per N: "recorded" is a normal run (the recorder writes every step
// until the timeline table's row limit); "kernel" starts with that table full,
// so the recorder keeps nothing and only the scheduler's own cost remains.
#include "database.h"
#include "kernel.h"
#include "timeseries.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <sstream>

namespace wk = wsim_kernel;

namespace {

wk::xins load(int pos) { return {wk::xop::LOAD, 1, 1, 0, wk::operand_t::BIT, pos, 0}; }
wk::xins invert() { return {wk::xop::NOT, 1, 1, 0, wk::operand_t::BIT, 0, 0}; }

int inverse_of(int pos) {
    wk::expr_t e;
    e.code = {load(pos), invert()};
    e.width = 1;
    return wk::sim_state::instance().add_expr(std::move(e));
}

int whole(int pos) {
    wk::lvalue_t lv;
    lv.parts.push_back({{wk::operand_t::BIT, pos}, 1, 1});
    return wk::sim_state::instance().add_lvalue(lv);
}

void build_model(int n, const std::string& source) {
    Database& db = Database::instance();
    auto& rec = wsim_timeseries::TimeSeriesDB::instance();
    auto& s = wk::sim_state::instance();
    int signal_id = 0;
    auto add_bit = [&](const std::string& name) {
        rec.register_signal(name, 1, false, true, 1);
        db.insertSignal(name, ++signal_id, source, 1, 1, 1, 0, "reg", "top", 1);
        return s.add_bit(wk::bit(false, false, name, 1));
    };
    const int file_id = db.getFileID(source);
    std::vector<std::pair<int, int>> ctx{{file_id, 1}};
    const int clk = add_bit("clk");
    // always #5 clk = ~clk;
    wk::process_t clock(1, "top.clk", wk::proc_t::ALWAYS);
    wk::assignment_t wait5(wk::assign_t::DELAY, 0);
    wait5.delay = 5;
    clock.add_statement(wait5);
    wk::assignment_t tick(wk::assign_t::BA, 0);
    tick.lhs = whole(clk);
    tick.expr = inverse_of(clk);
    clock.add_statement(tick);
    s.add_process(std::move(clock));
    wk::event_t rise;
    wk::expr_t read_clk;
    read_clk.code = {load(clk)};
    rise.expr = s.add_expr(std::move(read_clk));
    rise.direct = {wk::operand_t::BIT, clk};
    rise.edge = wk::edge_t::POS;
    const int on_rise = s.add_event_list({rise});
    // always @(posedge clk) r <= ~r;
    for (int i = 0; i < n; ++i) {
        const int r = add_bit("r" + std::to_string(i));
        const int line = static_cast<int>(ctx.size());
        ctx.emplace_back(file_id, 10 + i);
        wk::process_t p(10 + i, "top.r" + std::to_string(i), wk::proc_t::ALWAYS);
        wk::assignment_t wait(wk::assign_t::WAIT, line);
        wait.events = on_rise;
        p.add_statement(wait);
        wk::assignment_t toggle(wk::assign_t::NBA, line);
        toggle.lhs = whole(r);
        toggle.expr = inverse_of(r);
        p.add_statement(toggle);
        s.add_process(std::move(p));
    }
    s.set_line_ctx_map(ctx);
    rec.set_line_ctx_map(ctx);
}

void run_one(int n, bool recorded, const std::filesystem::path& dir) {
    Database::init((dir / ("bench-" + std::to_string(n) + ".db")).string());
    Database& db = Database::instance();
    db.clear(true);
    const std::string source = (dir / "top.sv").string();
    db.insertProjectStructure({source});
    db.insertModule(1, "top", source, 1, 100);
    db.insertInstance(1, "top", source, 1, 100, "top", -1, "top", true);
    wsim_timeseries::TimeSeriesDB::instance().clear();
    auto& s = wk::sim_state::instance();
    s.clear();
    s.set_console_path((dir / "console.txt").string());
    build_model(n, source);
    if (!recorded)
        db.exec_sql("WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k "
                    "WHERE i < 20000) INSERT INTO timeline SELECT 0, 0, NULL, NULL, 1, 0 FROM k;");

    // The orchestrator captures standard output during a run; so do we.
    std::ostringstream console_log;
    auto* saved_out = std::cout.rdbuf(console_log.rdbuf());
    auto* saved_err = std::cerr.rdbuf(nullptr);
    const auto start = std::chrono::steady_clock::now();
    s.run();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::cout.rdbuf(saved_out);
    std::cerr.rdbuf(saved_err);

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto& timeline = wsim_timeseries::TimeSeriesDB::instance().get_timeline();
    std::printf("%-9s N=%6d  %8.3f ms/cycle  %7.2f us/cycle/register  peak %6ld MiB  "
                "steps %5zu  stdout %7.1f MiB  final t=%llu\n",
                recorded ? "recorded" : "kernel", n, seconds * 1000.0 / 1000.0,
                seconds * 1e6 / 1000.0 / n, usage.ru_maxrss / 1024, timeline.size(),
                console_log.str().size() / 1048576.0,
                static_cast<unsigned long long>(s.sim_time()));
    std::fflush(stdout);
}

} // namespace

int main() {
    const auto dir = std::filesystem::temp_directory_path() / "wexla-kernel-bench";
    std::filesystem::create_directories(dir);
    for (bool recorded : {true, false}) {
        for (int n : {10, 100, 1000, 10000}) {
            const pid_t child = fork();
            if (child == 0) {
                run_one(n, recorded, dir);
                std::fflush(stdout);
                _exit(0);
            }
            int status = 0;
            waitpid(child, &status, 0);
        }
    }
    std::filesystem::remove_all(dir);
}
