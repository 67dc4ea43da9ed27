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

namespace {

// `A0 is `body`; each further level uses the one below twice: `A<depth>
// stands for 2^depth copies of the body.
std::string doublingMacros(size_t depth, const std::string& body) {
    std::string text = "`define A0 " + body + "\n";
    for (size_t i = 1; i <= depth; ++i)
        text += "`define A" + std::to_string(i) + " `A" + std::to_string(i - 1) + " `A" +
                std::to_string(i - 1) + "\n";
    return text;
}

std::string expansionExcess(const std::string& text) {
    const auto excess = nesting::scanText(text);
    return excess ? excess->describe() : "none";
}

const std::string kExpansion = "macro expansion limit exceeded: the expansions up to ";

} // namespace

TEST(MacroExpansion, MacrosThatDoubleEachOtherAreRefusedBeforeTheyExpand) {
    // A kilobyte asking for 2^40 tokens: sized from the definitions, never expanded.
    EXPECT_EQ(expansionExcess(doublingMacros(40, "x") + "module top; wire w = `A40; endmodule\n"),
              kExpansion + "`A40 produce more than 4194304 bytes of text (source:42:22)");
    // The same through arguments, and through nested invocations.
    EXPECT_EQ(expansionExcess("`define D0(x) x x\n"
                              "`define D1(x) `D0(x) `D0(x)\n"
                              "`define D2(x) `D1(`D1(x))\n"
                              "`define D3(x) `D2(`D2(x))\n"
                              "`define D4(x) `D3(`D3(x))\n"
                              "`define D5(x) `D4(`D4(x))\n"
                              "`define D6(x = y) `D5(`D5(x))\n"
                              "module top; `D6 endmodule\n"),
              kExpansion + "`D6 produce more than 4194304 bytes of text (source:8:13)");
    // Small invocations add up.
    std::string many = doublingMacros(10, "x") + "module top;\n";
    for (int i = 0; i < 3000; ++i)
        many += "wire [`A10:0] w" + std::to_string(i) + ";\n";
    EXPECT_EQ(expansionExcess(many + "endmodule\n"),
              kExpansion + "`A10 produce more than 4194304 bytes of text (source:2061:7)");
    // A macro redefined before use is sized as it stands there.
    EXPECT_EQ(expansionExcess(doublingMacros(40, "x") + "`define A40 x\n`undef A39\n"
                              "module top; wire w = `A40 + `A39; endmodule\n"),
              "none");
}

TEST(MacroExpansion, DesignsWithinTheLimitCompileAndOnesPastItAnswerNamingTheMacro) {
    QuietLogs quiet;
    TempDir dir;
    // 1024 statements from ten levels of macros: well inside the limit.
    const std::string inside = dir.file("inside.sv");
    writeFile(inside, doublingMacros(10, "a = a + 1;") +
                          "module top; logic [15:0] a = 0; initial begin `A10 end endmodule\n");
    const std::string compiled =
        initialize_project_structure({inside}, dir.file("project.db"), "ns", "top", 0, -1, 0, 1000);
    EXPECT_TRUE(contains(compiled, "\"status\": 200")) << compiled;
    EXPECT_TRUE(contains(get_ingest_only_init(), "\"success\": true"));

    // The macros in a header, the invocation in the design.
    writeFile(dir.file("macros.svh"), doublingMacros(40, "x"));
    const std::string past = dir.file("past.sv");
    writeFile(past, "`include \"macros.svh\"\nmodule top; wire w = `A40; endmodule\n");
    const std::string refused =
        initialize_project_structure({past}, dir.file("project.db"), "ns", "top", 0, -1, 0, 1000);
    EXPECT_TRUE(contains(refused, "\"status\": 501")) << refused;
    EXPECT_TRUE(contains(refused, kExpansion + "`A40 produce more than 4194304 bytes of text"))
        << refused;
    EXPECT_TRUE(contains(refused, "\"line\": 2,")) << refused;
    EXPECT_TRUE(contains(ingest(("module top;\n" + doublingMacros(40, "x") +
                                 "wire w = `A40;\nendmodule\n").c_str()),
                         kExpansion + "`A40 produce more than 4194304 bytes of text (source:43:10)"));
}

TEST(MacroExpansion, MacrosTooIntricateToSizeAreRefusedToo) {
    // Every invocation of `S<i> sizes `S<i-1> with arguments of sizes no other
    // invocation shares (sums of the `P sizes), and `Z drops what they make:
    // sizing would take 2^24 steps although nothing comes out.
    std::string text = "`define Z(x)\n`define P0 a\n`define S0(x) x\n";
    for (int i = 1; i <= 24; ++i) {
        const std::string n = std::to_string(i), below = std::to_string(i - 1);
        text += "`define P" + n + " `P" + below + " `P" + below + "\n";
        text += "`define S" + n + "(x) `Z(`S" + below + "(x)) `Z(`S" + below + "(x `P" + below +
                "))\n";
    }
    EXPECT_EQ(expansionExcess(text + "module top; `S24(b) endmodule\n"),
              "macro expansion limit exceeded: `S24 cannot be sized within 4194304 steps "
              "(source:52:13)");
}
