// The README's list of what is not modelled is the report's: every example
// it gives, built into a design, is reported under the phrase it names.
#include "builder_support.h"

#include <gtest/gtest.h>

#include <slang/diagnostics/Diagnostics.h>

#include <filesystem>
#include <regex>

namespace {

struct Example {
    std::string section;
    std::string phrase;
    std::string code;
};

std::vector<Example> readmeExamples() {
    const std::string text =
        wexla_test::readFile((std::filesystem::path(WEXLA_EXAMPLES_DIR).parent_path() / "README.md")
                                 .string());
    const auto start = text.find("### Not modelled");
    std::vector<Example> out;
    if (start == std::string::npos)
        return out;
    std::istringstream lines(text.substr(start));
    const std::regex item(R"(^- `([^`]+)`: `(.+)`$)");
    std::string line;
    std::string section;
    while (std::getline(lines, line)) {
        if (line.rfind("## ", 0) == 0)
            break;
        if (line.rfind("In ", 0) == 0)
            section = line;
        std::smatch m;
        if (std::regex_match(line, m, item))
            out.push_back({section, m[1], m[2]});
    }
    return out;
}

// The design around an example, with the example alone on line 6.
std::string designAround(const Example& e) {
    const std::string head = "module inner_io(inout wire w); endmodule\n"
                             "module leaf(input logic x); endmodule\n"
                             "module top;\n"
                             "  logic a, b, c, clk; logic [7:0] v; integer i; wire nw;\n";
    if (e.section == "In procedural code:")
        return head + "  real r; event e; logic [7:0] mem [0:3][0:1]; initial begin\n" + e.code +
               "\n  end\nendmodule\n";
    return head + "\n" + e.code + "\nendmodule\n";
}

} // namespace

TEST(Readme, EveryConstructItListsIsReportedAsItSays) {
    const auto examples = readmeExamples();
    ASSERT_GE(examples.size(), 40u);
    for (const Example& e : examples) {
        std::ostringstream err;
        auto d = [&] {
            const wexla_test::StreamRedirect toErr(std::cerr, err.rdbuf());
            return wexla_test::buildDesign(designAround(e));
        }();
        for (const auto& diag : d.compilation->getAllDiagnostics())
            EXPECT_FALSE(diag.isError()) << e.code << ": " << slang::toString(diag.code);
        // Reported once, in the report and as a line on standard error.
        int found = 0;
        for (const auto& n : d.builder->notModelled())
            found += n.line == 6 && n.construct == e.phrase;
        EXPECT_EQ(found, 1) << e.phrase << " for " << e.code << "\n" << err.str();
        EXPECT_NE(err.str().find("[MODEL] source:6: " + e.phrase + " is not modelled; left out\n"),
                  std::string::npos)
            << err.str();
    }
}
