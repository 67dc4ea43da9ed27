// Deeply nested designs: the nesting limits count what the parser and the
// elaboration would recurse through. Designs far past them answer naming the
// limit (tests/js/scenarios/deep_nesting.js).
#include "api.h"
#include "api_db.h"
#include "nesting_limits.h"
#include "project_support.h"

#include <slang/syntax/SyntaxTree.h>
#include <slang/text/SourceManager.h>

#include <gtest/gtest.h>

using namespace wexla_test;

namespace {

std::string repeated(const std::string& text, size_t times) {
    std::string out;
    out.reserve(text.size() * times);
    for (size_t i = 0; i < times; ++i)
        out += text;
    return out;
}

std::string nestedGenerate(size_t depth) {
    return "module top;\n" + repeated("if (1) begin : g\n", depth) + "logic x;\n" +
           repeated("end\n", depth) + "endmodule\n";
}

std::string longSum(size_t terms) {
    return "module top;\n  logic [7:0] a = 1, b;\n  assign b = a" + repeated(" + a", terms - 1) +
           ";\nendmodule\n";
}

// The design with a process the simulator models beside what it has.
std::string withProcess(const std::string& design) {
    const std::string head = "module top;\n";
    return head + "  logic c = 0;\n  initial #1 c = 1;\n" + design.substr(head.size());
}

std::string inModule(const std::string& body) { return "module top;\n" + body + "endmodule\n"; }

bool tooDeep(const std::string& text) { return nesting::scanText(text).has_value(); }

std::optional<nesting::Excess> treeExcess(const std::string& text) {
    slang::SourceManager sm;
    auto tree = slang::syntax::SyntaxTree::fromText(text, sm, "source", "");
    return nesting::checkTree(*tree);
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

const std::string kLimit = "nesting limit exceeded";

} // namespace

TEST(NestingLimits, CountWhatTheParserNestsAndNothingElse) {
    const size_t many = nesting::kMaxNesting * 2;
    // Long flat designs pile up no levels.
    EXPECT_FALSE(tooDeep(inModule(repeated("if (1) begin : g logic x; end\n", many))));
    EXPECT_FALSE(tooDeep(inModule(repeated("for (genvar i = 0; i < 2; i++) begin end\n", many))));
    EXPECT_FALSE(tooDeep(inModule("initial begin\n" + repeated("disable fork; wait fork;\n", many) +
                                  "end\n")));
    EXPECT_FALSE(tooDeep(repeated("typedef class c;\n", many) + inModule("")));
    EXPECT_FALSE(tooDeep(inModule("initial begin\n" + repeated("if (a) b = 1; else b = 0;\n", many) +
                                  "end\n")));
    EXPECT_FALSE(tooDeep(inModule(repeated("if (1) begin end else begin end\n", many))));

    // What the parser nests, closed or not, and however it is spelt.
    const size_t deep = nesting::kMaxNesting + 1;
    EXPECT_TRUE(tooDeep(inModule(repeated("begin ", deep))));
    EXPECT_TRUE(tooDeep(inModule(repeated("if (1) ", deep) + "logic x;\n")));
    EXPECT_TRUE(tooDeep(inModule("if (0) logic x;\n" + repeated("else if (0) logic x;\n", deep / 2))));
    EXPECT_TRUE(tooDeep("`define OPEN if (1) begin\n`define CLOSE end\n" +
                        inModule(repeated("`OPEN\n", deep / 2) + repeated("`CLOSE\n", deep / 2))));
    const auto excess = nesting::scanText(nestedGenerate(deep));
    ASSERT_TRUE(excess);
    EXPECT_EQ(excess->describe(),
              "nesting limit exceeded: blocks, brackets or branches nested more than 10000 levels "
              "deep (source:5001:4)");

    // The parsed tree: an operator chain is as deep as it is long.
    EXPECT_FALSE(treeExcess(longSum(nesting::kMaxNesting - 10)));
    const auto chain = treeExcess(longSum(nesting::kMaxNesting + 10));
    ASSERT_TRUE(chain);
    EXPECT_EQ(chain->file, "source");
    EXPECT_EQ(chain->line, 3u);
    EXPECT_TRUE(contains(chain->message, kLimit + ": expressions or constructs"));
}

TEST(NestingLimits, DesignsJustInsideTheLimitCompileAndSimulate) {
    QuietLogs quiet;
    TempDir dir;
    // Deeper than an 8 MB stack holds in a sanitizer build, so these run only
    // because the engine works on its own large stack.
    const std::string generate = dir.file("generate.sv");
    const std::string sum = dir.file("sum.sv");
    writeFile(generate, withProcess(nestedGenerate(3000)));
    writeFile(sum, withProcess(longSum(5000)));
    for (const std::string& source : {generate, sum}) {
        const std::string compiled = initialize_project_structure(
            {source}, dir.file("project.db"), "ns", "top", 0, -1, 0, 1000);
        EXPECT_TRUE(contains(compiled, "\"status\": 200")) << compiled;
        const std::string init = get_ingest_only_init();
        EXPECT_TRUE(contains(init, "\"success\": true")) << init;
        EXPECT_TRUE(contains(get_module_by_name("top"), "\"status\": 200"));
    }
}

TEST(NestingLimits, IncludesStopAtTheirOwnDepthLimit) {
    QuietLogs quiet;
    TempDir dir;
    // A file that includes itself is read again at every level; at slang's
    // own limit of 1024 levels, a file of a megabyte and a half took every
    // gigabyte the machine had.
    const std::string self = dir.file("self.sv");
    writeFile(self, "module top;\n  logic c = 0;\n  `include \"self.sv\"\n" +
                        repeated("  always @(c) c <= ~c;\n", 4000) + "endmodule\n");
    // Includes nested as deep as real designs nest them still work.
    const std::string chain = dir.file("chain.sv");
    for (uint32_t i = 1; i + 2 < nesting::kMaxIncludeDepth; ++i)
        writeFile(dir.file("level" + std::to_string(i) + ".svh"),
                  "logic w" + std::to_string(i) + " = 1;\n`include \"level" + std::to_string(i + 1) +
                      ".svh\"\n");
    writeFile(dir.file("level" + std::to_string(nesting::kMaxIncludeDepth - 2) + ".svh"), "");
    writeFile(chain, "module top;\n  logic c = 0;\n  initial #1 c = 1;\n  `include \"level1.svh\"\nendmodule\n");

    const auto started = std::chrono::steady_clock::now();
    const std::string refused =
        initialize_project_structure({self}, dir.file("project.db"), "ns", "top", 0, -1, 0, 1000);
    EXPECT_TRUE(contains(refused, "\"status\": 501")) << refused.substr(0, 2000);
    EXPECT_TRUE(contains(refused, "exceeded max include depth")) << refused.substr(0, 2000);
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started);
    EXPECT_LT(seconds.count(), 60.0);

    const std::string compiled =
        initialize_project_structure({chain}, dir.file("project.db"), "ns", "top", 0, -1, 0, 1000);
    EXPECT_TRUE(contains(compiled, "\"status\": 200")) << compiled;
    EXPECT_TRUE(contains(get_ingest_only_init(), "\"success\": true"));
}
