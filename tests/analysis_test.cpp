#include "analysis.h"
#include "project_support.h"
#include "query_support.h"

#include <gtest/gtest.h>

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
        cleanupLog = stdoutOf([&] { analysis.cleanup(); });
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
    ASSERT_TRUE(quietInject(*analysis, {query(top, 2, {"X;"}, {"x"})}));
    EXPECT_EQ(stdoutOf([&] { analysis.reset(); }), "deleted: " + copy + "\n");
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
    ASSERT_TRUE(quietInject(analysis, {query(top, 4, {"A;"}, {"a"}),
                                       query("./top.v", 2, {"B;"}, {"b"}),
                                       query(top, 4, {"C;"}, {"c"}),
                                       query(other, 1, {"D;"}, {"d"}, "sub")}));
    EXPECT_EQ(readFile(dir.file("top(copy).v")), "l1\nb: B;\nl2\nl3\na: A;\nc: C;\nl4\nl5\n");
    EXPECT_EQ(readFile(dir.file("other(copy).v")), "d: D;\no1\n");
    EXPECT_EQ(analysis.getFileList(),
              (std::vector<std::string>{dir.file("other(copy).v"), dir.file("top(copy).v")}));
    EXPECT_EQ(propertyRows(), (std::vector<std::string>{"a|a|top", "b|b|top", "c|c|top", "d|d|sub"}));

    // A new round starts from the compiled list and overwrites its own copy.
    analysis.clearFileList();
    ASSERT_TRUE(quietInject(analysis, {query(top, 1, {"E;"}, {"e"})})) << log;
    EXPECT_EQ(readFile(dir.file("top(copy).v")), "e: E;\nl1\nl2\nl3\nl4\nl5\n");
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
    EXPECT_FALSE(quietInject(analysis, {query(alu, 1, {"X;"}, {"x"})}));
    EXPECT_TRUE(contains(log, "the copy " + aluCopy + " is one of the compiled sources"));
    EXPECT_EQ(analysis.getFailedFile(), alu);
    // Its copy's name is taken by a file the injection did not write.
    EXPECT_FALSE(quietInject(analysis, {query(top, 1, {"X;"}, {"x"})}));
    EXPECT_TRUE(contains(log, topCopy + " already exists"));
    EXPECT_EQ(analysis.getFileList(), (std::vector<std::string>{alu, aluCopy, top}));

    // A source named like a copy gets a copy of its own.
    ASSERT_TRUE(quietInject(analysis, {query(aluCopy, 1, {"X;"}, {"x"})}));
    const std::string copyOfCopy = dir.file("alu(copy)(copy).v");
    EXPECT_EQ(readFile(copyOfCopy), "x: X;\nthe user's own\n");
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
    const auto good = query(top, 1, {"X;"}, {"x"});
    const auto emptyDir = std::vector<std::string>{"project.db", "top.v"};
    auto listing = [&] {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };

    // A compiled source that has gone missing: no copy, not even for the good query.
    EXPECT_FALSE(quietInject(analysis, {good, query(gone, 1, {"Y;"}, {"y"})}));
    EXPECT_TRUE(contains(log, "Error: " + gone));
    EXPECT_EQ(analysis.getFailedFile(), gone);
    EXPECT_EQ(listing(), emptyDir);

    // Labels fewer than properties.
    EXPECT_FALSE(quietInject(analysis, {good, query(top, 2, {"Y;", "Z;"}, {"y"})}));
    EXPECT_TRUE(contains(log, "1 labels for 2 properties"));
    EXPECT_EQ(listing(), emptyDir);
    EXPECT_EQ(stdoutOf([&] { query(top, 2, {"Y;", "Z;"}, {"y"}).print(); }),
              top + " 2\ny Y;\n Z;\n");

    // A file that is not in the compiled list.
    writeFile(dir.file("stray.v"), "s\n");
    EXPECT_FALSE(quietInject(analysis, {query(dir.file("stray.v"), 1, {"Y;"}, {"y"})}));
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
        EXPECT_FALSE(quietInject(analysis, {query(top, 1, {"W;"}, {"w"}),
                                            query(top, line, {"X;"}, {"x"})}));
        EXPECT_TRUE(contains(log, "has no line " + std::to_string(line) + " (it has 5)")) << log;
        EXPECT_EQ(analysis.getFailedFile(), top);
    }
    EXPECT_FALSE(fs::exists(dir.file("top(copy).v")));
    EXPECT_EQ(analysis.getFileList(), std::vector<std::string>{top});
    EXPECT_TRUE(propertyRows().empty());
    // The last line is still a place.
    ASSERT_TRUE(quietInject(analysis, {query(top, 5, {"Y;"}, {"y"})}));
    EXPECT_EQ(analysis.getFileList(), std::vector<std::string>{dir.file("top(copy).v")});
}
