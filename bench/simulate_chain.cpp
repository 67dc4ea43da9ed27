// Simulates generated designs of growing size: a chain of N toggle-counter
// instances, each clocked by the one before. Prints, per N, the time to parse
// and elaborate, to build the model, and to simulate 100 time units, and the
// peak memory of the run (each N runs in a process of its own).
#include "database.h"
#include "kernel.h"
#include "simulator.h"
#include "timeseries.h"

#include <slang/ast/Compilation.h>
#include <slang/syntax/SyntaxTree.h>
#include <slang/text/SourceManager.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <sstream>

namespace {

std::string chainDesign(int n) {
    std::ostringstream out;
    out << "module counter(input logic clk, output logic q);\n"
           "  always @(negedge clk) q <= ~q;\n"
           "endmodule\n"
           "module top;\n"
           "  logic clk = 0;\n";
    for (int i = 0; i <= n; ++i)
        out << "  logic c" << i << ";\n";
    out << "  assign c0 = clk;\n";
    for (int i = 1; i <= n; ++i)
        out << "  counter u" << i << "(.clk(c" << i - 1 << "), .q(c" << i << "));\n";
    out << "  always #5 clk = ~clk;\n"
           "endmodule\n";
    return out.str();
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void runOne(int n) {
    const auto dir = std::filesystem::temp_directory_path() / "wexla-bench-chain";
    std::filesystem::create_directories(dir);
    std::cerr.rdbuf(nullptr); // the bench project has no structure rows to record into
    Database::init((dir / ("chain" + std::to_string(n) + ".db")).string());
    wsim_timeseries::TimeSeriesDB::instance().clear();
    auto& state = wsim_kernel::sim_state::instance();
    state.clear();
    state.sim_config.max_sim_time = 100;
    state.set_console_path((dir / "console.txt").string());
    const std::string text = chainDesign(n);

    auto start = std::chrono::steady_clock::now();
    slang::SourceManager sources;
    auto tree = slang::syntax::SyntaxTree::fromText(text, sources, "source", "");
    slang::ast::Compilation compilation;
    compilation.addSyntaxTree(tree);
    compilation.getAllDiagnostics();
    const auto& root = compilation.getRoot();
    const double parse = secondsSince(start);

    start = std::chrono::steady_clock::now();
    SimulatorBuilder builder(&sources);
    builder.setTopModuleName("top");
    root.visit(builder);
    for (const auto* top : root.topInstances)
        builder.elaborateInstanceTree(*top, "");
    wsim_timeseries::TimeSeriesDB::instance().set_line_ctx_map(builder.getLineContextMap());
    state.set_line_ctx_map(builder.getLineContextMap());
    const double build = secondsSince(start);

    start = std::chrono::steady_clock::now();
    std::ostringstream console;
    std::streambuf* saved = std::cout.rdbuf(console.rdbuf());
    state.run();
    std::cout.rdbuf(saved);
    const double simulate = secondsSince(start);

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::cout << std::setw(6) << n << std::fixed << std::setprecision(3) << std::setw(12) << parse
              << std::setw(12) << build << std::setw(12) << simulate << std::setw(12)
              << usage.ru_maxrss / 1024.0 << std::setw(10)
              << wsim_timeseries::TimeSeriesDB::instance().get_timeline().size() << "\n";
}

} // namespace

int main() {
    std::cout << "     N   parse+elab s     build s  simulate s     peak MB     steps\n";
    for (int n : {1, 10, 100, 1000}) {
        std::cout.flush();
        const pid_t child = fork();
        if (child == 0) {
            runOne(n);
            std::cout.flush();
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
    }
}
