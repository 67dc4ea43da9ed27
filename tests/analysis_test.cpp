#include "analysis.h"
#include "project_support.h"
#include "query_support.h"

#include <gtest/gtest.h>

#include <slang/syntax/SyntaxTree.h>
#include <slang/text/SourceManager.h>

#include <filesystem>

using namespace wexla_test;
namespace fs = std::filesystem;

namespace {

testing::AssertionResult contains(const std::string& text, const std::string& part) {
    if (text.find(part) != std::string::npos)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "\"" << part << "\" not in \"" << text << "\"";
}

const char* const kFiveLines = "l1\nl2\nl3\nl4\nl5";  // no newline after the last line

class InjectionTest : public ProjectTest {
protected:
    std::vector<std::string> propertyRows() {
        return rows("SELECT id, label, instance_id FROM properties ORDER BY rowid;");
    }

    // Runs inject with its log captured; returns its answer.
    bool quietInject(Analysis& analysis, const std::vector<Query>& queries) {
        bool ok = false;
        log = stderrOf([&] { ok = analysis.inject(queries); });
        return ok;
    }

    void quietCleanup(Analysis& analysis) {
        cleanupLog = engineLogOf([&] { analysis.cleanup(); });
    }

    std::string log;
    std::string cleanupLog;
};

} // namespace

// A ".sv" copy is removed like any other: cleanup goes by what inject wrote.
TEST_F(InjectionTest, TwoPropertiesBeforeALineThenCleanup) {
    const std::string top = dir.file("top.sv");
    writeFile(top, kFiveLines);
    auto analysis = std::make_unique<Analysis>(std::vector<std::string>{top});

    ASSERT_TRUE(quietInject(*analysis, {query(top, 3, {"assert property (a);", "cover property (b);"},
                                              {"p1", "p2"})}));
    const std::string copy = dir.file("top(copy).sv");
    EXPECT_EQ(readFile(copy), "l1\nl2\np1: assert property (a);\np2: cover property (b);\nl3\nl4\nl5\n");
    EXPECT_EQ(readFile(top), kFiveLines);
    EXPECT_EQ(analysis->getFileList(), std::vector<std::string>{copy});
    EXPECT_EQ(analysis->getCopySources().at(copy), top);
    EXPECT_EQ(propertyRows(), (std::vector<std::string>{"p1|p1|top", "p2|p2|top"}));
    EXPECT_EQ(log, "assert property (a); p1\ncover property (b); p2\n");

    quietCleanup(*analysis);
    EXPECT_EQ(cleanupLog, "deleted: " + copy + "\n");
    EXPECT_FALSE(fs::exists(copy));
    EXPECT_EQ(readFile(top), kFiveLines);
    // The list keeps naming the copy until it is restored.
    EXPECT_EQ(analysis->getFileList(), std::vector<std::string>{copy});
    analysis->clearFileList();
    EXPECT_EQ(analysis->getFileList(), std::vector<std::string>{top});
    EXPECT_TRUE(analysis->getCopySources().empty());

    // Nothing left to remove: a second cleanup says nothing.
    EXPECT_EQ(stderrOf([&] { quietCleanup(*analysis); }), "");
    EXPECT_EQ(cleanupLog, "");

    // A copy still on disk when the engine goes away is removed with it.
    ASSERT_TRUE(quietInject(*analysis, {query(top, 2, {"assert property (X);"}, {"x"})}));
    EXPECT_EQ(engineLogOf([&] { analysis.reset(); }), "deleted: " + copy + "\n");
    EXPECT_FALSE(fs::exists(copy));
    EXPECT_EQ(readFile(top), kFiveLines);
}

TEST_F(InjectionTest, QueriesOnOneFileAreAllApplied) {
    const std::string top = dir.file("top.v");
    const std::string other = dir.file("other.v");
    writeFile(top, kFiveLines);
    writeFile(other, "o1\n");
    const wexla_test::WorkingDirectory inDir(dir.path());
    // The same file under two spellings, later lines first, two queries on one line.
    Analysis analysis({other, top});
    ASSERT_TRUE(quietInject(analysis, {query(top, 4, {"assert property (A);"}, {"a"}),
                                       query("./top.v", 2, {"assert property (B);"}, {"b"}),
                                       query(top, 4, {"assert property (C);"}, {"c"}),
                                       query(other, 1, {"assert property (D);"}, {"d"}, "sub")}));
    EXPECT_EQ(readFile(dir.file("top(copy).v")),
              "l1\nb: assert property (B);\nl2\nl3\na: assert property (A);\n"
              "c: assert property (C);\nl4\nl5\n");
    EXPECT_EQ(readFile(dir.file("other(copy).v")), "d: assert property (D);\no1\n");
    EXPECT_EQ(analysis.getFileList(),
              (std::vector<std::string>{dir.file("other(copy).v"), dir.file("top(copy).v")}));
    EXPECT_EQ(propertyRows(), (std::vector<std::string>{"a|a|top", "b|b|top", "c|c|top", "d|d|sub"}));

    // A new round starts from the compiled list and overwrites its own copy.
    analysis.clearFileList();
    ASSERT_TRUE(quietInject(analysis, {query(top, 1, {"assert property (E);"}, {"e"})})) << log;
    EXPECT_EQ(readFile(dir.file("top(copy).v")), "e: assert property (E);\nl1\nl2\nl3\nl4\nl5\n");
    EXPECT_EQ(analysis.getFileList(), (std::vector<std::string>{other, dir.file("top(copy).v")}));

    quietCleanup(analysis);
    EXPECT_FALSE(fs::exists(dir.file("top(copy).v")));
    EXPECT_FALSE(fs::exists(dir.file("other(copy).v")));
    EXPECT_EQ(readFile(top), kFiveLines);
    EXPECT_EQ(readFile(other), "o1\n");
}

TEST_F(InjectionTest, UsersOwnCopyNamedFilesAreNeverTouched) {
    const std::string alu = dir.file("alu.v");
    const std::string aluCopy = dir.file("alu(copy).v");
    const std::string top = dir.file("top.v");
    const std::string topCopy = dir.file("top(copy).v");
    writeFile(alu, "alu\n");
    writeFile(aluCopy, "the user's own\n");
    writeFile(top, "top\n");
    writeFile(topCopy, "not compiled, still the user's\n");

    Analysis analysis({alu, aluCopy, top});
    // Its copy would be a compiled source.
    EXPECT_FALSE(quietInject(analysis, {query(alu, 1, {"assert property (X);"}, {"x"})}));
    EXPECT_TRUE(contains(log, "the copy " + aluCopy + " is one of the compiled sources"));
    EXPECT_EQ(analysis.getFailedFile(), alu);
    // Its copy's name is taken by a file the injection did not write.
    EXPECT_FALSE(quietInject(analysis, {query(top, 1, {"assert property (X);"}, {"x"})}));
    EXPECT_TRUE(contains(log, topCopy + " already exists"));
    EXPECT_EQ(analysis.getFileList(), (std::vector<std::string>{alu, aluCopy, top}));

    // A source named like a copy gets a copy of its own.
    ASSERT_TRUE(quietInject(analysis, {query(aluCopy, 1, {"assert property (X);"}, {"x"})}));
    const std::string copyOfCopy = dir.file("alu(copy)(copy).v");
    EXPECT_EQ(readFile(copyOfCopy), "x: assert property (X);\nthe user's own\n");
    EXPECT_EQ(analysis.getFileList(), (std::vector<std::string>{alu, copyOfCopy, top}));

    quietCleanup(analysis);
    EXPECT_EQ(cleanupLog, "deleted: " + copyOfCopy + "\n");
    EXPECT_EQ(readFile(aluCopy), "the user's own\n");
    EXPECT_EQ(readFile(topCopy), "not compiled, still the user's\n");
    EXPECT_EQ(readFile(alu), "alu\n");
    EXPECT_EQ(propertyRows(), std::vector<std::string>{"x|x|top"});
}

TEST_F(InjectionTest, RefusedRequestsWriteNothing) {
    const std::string top = dir.file("top.v");
    const std::string gone = dir.file("gone.v");
    writeFile(top, kFiveLines);
    Analysis analysis({top, gone});
    const auto good = query(top, 1, {"assert property (X);"}, {"x"});
    const auto emptyDir = std::vector<std::string>{"project.db", "top.v"};
    auto listing = [&] {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };

    // A compiled source that has gone missing: no copy, not even for the good query.
    EXPECT_FALSE(
        quietInject(analysis, {good, query(gone, 1, {"assert property (Y);"}, {"y"})}));
    EXPECT_EQ(analysis.getFailureReason(), "cannot read " + gone + ": no such file or directory");
    EXPECT_TRUE(contains(log, analysis.getFailureReason()));
    EXPECT_EQ(analysis.getFailedFile(), gone);
    EXPECT_EQ(listing(), emptyDir);

    // Labels fewer than properties.
    const std::vector<std::string> yz{"assert property (Y);", "assert property (Z);"};
    EXPECT_FALSE(quietInject(analysis, {good, query(top, 2, yz, {"y"})}));
    EXPECT_TRUE(contains(log, "1 labels for 2 properties"));
    EXPECT_EQ(listing(), emptyDir);
    EXPECT_EQ(engineLogOf([&] { query(top, 2, yz, {"y"}).print(); }),
              top + " 2\ny assert property (Y);\n assert property (Z);\n");

    // A file that is not in the compiled list.
    writeFile(dir.file("stray.v"), "s\n");
    EXPECT_FALSE(
        quietInject(analysis, {query(dir.file("stray.v"), 1, {"assert property (Y);"}, {"y"})}));
    EXPECT_TRUE(contains(log, "is not one of the compiled sources"));
    EXPECT_FALSE(fs::exists(dir.file("stray(copy).v")));

    EXPECT_EQ(analysis.getFileList(), (std::vector<std::string>{top, gone}));
    EXPECT_TRUE(propertyRows().empty());
    EXPECT_EQ(readFile(top), kFiveLines);
}

TEST_F(InjectionTest, LinesOutsideTheFileAreRefused) {
    const std::string top = dir.file("top.v");
    writeFile(top, kFiveLines);
    Analysis analysis({top});
    // Refused whole: a run without the property must not answer as if it held it.
    for (int line : {0, 6, -1}) {
        EXPECT_FALSE(quietInject(analysis, {query(top, 1, {"assert property (W);"}, {"w"}),
                                            query(top, line, {"assert property (X);"}, {"x"})}));
        EXPECT_TRUE(contains(log, "has no line " + std::to_string(line) + " (it has 5)")) << log;
        EXPECT_EQ(analysis.getFailedFile(), top);
    }
    EXPECT_FALSE(fs::exists(dir.file("top(copy).v")));
    EXPECT_EQ(analysis.getFileList(), std::vector<std::string>{top});
    EXPECT_TRUE(propertyRows().empty());
    // The last line is still a place.
    ASSERT_TRUE(quietInject(analysis, {query(top, 5, {"assert property (Y);"}, {"y"})}));
    EXPECT_EQ(analysis.getFileList(), std::vector<std::string>{dir.file("top(copy).v")});
}

// A property is one assertion item, or nothing is written: text that closed
// the module would define modules of its own, which would run.
TEST_F(InjectionTest, OnlyOneAssertionItemIsInjected) {
    const std::string top = dir.file("top.sv");
    writeFile(top, "`define CLK clk\nmodule top;\n  logic clk, a;\nendmodule\n");
    Analysis analysis({top});
    slang::SourceManager manager;
    auto tree = slang::syntax::SyntaxTree::fromFile(top, manager);
    ASSERT_TRUE(tree.has_value());
    analysis.adopt(*tree);

    const std::vector<std::pair<std::string, std::string>> refused{
        {"assert property (a); endmodule module evil; initial $display(\"EVIL\");",
         "it is not one labelled assertion item"},
        {"assert property (a); initial $display(\"x\");", "it is not one labelled assertion item"},
        {"initial a = 1;", "it does not parse as one assertion item"},
        {"assert property (a); /*", "it does not parse as one assertion item"},
        {"assert property (a); endmodule", "it does not parse as one assertion item"},
        {"`define EVIL 1 assert property (a);", "it holds the compiler directive `define"},
        {"`include \"/dev/zero\"", "it holds the compiler directive `include"},
        {"assert property (@(posedge `NOSUCH) a);", "it does not parse as one assertion item"},
        {std::string(20000, '(') + "a" + std::string(20000, ')'), "nesting limit exceeded"},
    };
    for (const auto& [text, why] : refused) {
        EXPECT_FALSE(quietInject(analysis, {query(top, 3, {text}, {"p"})})) << text;
        EXPECT_TRUE(contains(analysis.getFailureReason(), "the property p is refused: " + why))
            << text;
    }
    // A label that carries an item of its own is refused the same way.
    EXPECT_FALSE(quietInject(analysis, {query(top, 3, {"assert property (a);"},
                                              {"q: assert property (a); r"})}));
    EXPECT_FALSE(fs::exists(dir.file("top(copy).sv")));
    EXPECT_TRUE(propertyRows().empty());

    // Every kind of assertion item, with an action block, over lines, through
    // the design's own macro.
    const std::vector<std::string> items{
        "assert property (@(posedge `CLK) a |-> ##1 a) else $error(\"a fell\");",
        "assume property (@(posedge clk) a);",
        "cover property (@(posedge clk)\n  a ##1 !a);",
        "cover sequence (@(posedge clk) a ##1 a);",
        "assert #0 (a);",
    };
    std::vector<std::string> labels;
    for (size_t i = 0; i < items.size(); ++i)
        labels.push_back("p" + std::to_string(i));
    ASSERT_TRUE(quietInject(analysis, {query(top, 3, items, labels)})) << log;
    EXPECT_EQ(propertyRows().size(), items.size());
    quietCleanup(analysis);
}

// A copy an injection left when its process was killed is replaced by the
// next injection; a file that only looks like one in name stays, and the
// answer says why.
TEST_F(InjectionTest, ACopyLeftByAKilledInjectionIsReplaced) {
    const std::string top = dir.file("top.v");
    const std::string copy = dir.file("top(copy).v");
    writeFile(top, kFiveLines);
    writeFile(copy, "l1\nl2\nold: assert property (a);\n\\esc : assert property (b);\nl3\nl4\nl5\n");
    Analysis analysis({top});
    ASSERT_TRUE(quietInject(analysis, {query(top, 2, {"assert property (X);"}, {"x"})}))
        << analysis.getFailureReason();
    EXPECT_TRUE(contains(log, "replacing " + copy));
    EXPECT_EQ(readFile(copy), "l1\nx: assert property (X);\nl2\nl3\nl4\nl5\n");
    quietCleanup(analysis);
    EXPECT_FALSE(fs::exists(copy));

    // Lines of the source missing, or lines that are no injected property:
    // not a copy the engine left.
    for (const std::string& text : {std::string("l1\nl2\nl3\nl4\n"),
                                    std::string("l1\nl2\nmine\nl3\nl4\nl5\n"),
                                    std::string("l1\nl2\n3: x\nl3\nl4\nl5\n")}) {
        writeFile(copy, text);
        EXPECT_FALSE(quietInject(analysis, {query(top, 2, {"assert property (X);"}, {"x"})}));
        EXPECT_EQ(analysis.getFailureReason(),
                  copy + " already exists and is not a copy an injection left; move it away to "
                         "inject into " + top);
        EXPECT_EQ(readFile(copy), text);
    }
}
