#include "error_handling.h"

#include "test_support.h"

#include <slang/diagnostics/DiagnosticEngine.h>
#include <slang/diagnostics/GeneralDiags.h>
#include <slang/text/SourceManager.h>

#include <gtest/gtest.h>

#include <filesystem>

using wexla_test::jsonAt;
using wexla_test::TempDir;
using wexla_test::writeFile;

namespace {

// The answer that lists nothing.
std::string emptyAnswer(int status) {
    return "{\n  \"status\": " + std::to_string(status) +
           ",\n  \"errors\": [\n  ],\n  \"warnings\": [\n  ]\n}";
}

// The answer naming the one source that cannot be read, and why.
std::string unreadableAnswer(const std::string& given, const std::string& file,
                             const std::string& problem) {
    return "{\n  \"status\": 499,\n  \"errors\": [\n    {\n      \"description\": \"error: "
           "cannot read source \\\"" + given + "\\\": " + problem + "\",\n      \"file_name\": \"" +
           file + "\",\n      \"line\": 0,\n      \"column\": 0\n    }\n  ],\n  \"warnings\": "
           "[\n  ]\n}";
}

std::string diagnostics(const std::vector<std::string>& paths) {
    return CompilationResult::instance().get_compile_diagnostics(paths);
}

int status() { return CompilationResult::instance().get_status_code(); }

std::string canonical(const std::string& path) {
    return std::filesystem::weakly_canonical(path).string();
}

// A top with two levels of instances across three files. Only the first file
// sets the timescale and defines the macro: the list is one compilation unit.
void writeCleanProject(const TempDir& dir) {
    writeFile(dir.file("top.sv"),
              "`timescale 1ns/1ps\n"
              "`define WIDTH 4\n"
              "module top;\n"
              "  logic clk;\n"
              "  mid u_mid(.clk(clk));\n"
              "endmodule\n");
    writeFile(dir.file("mid.sv"),
              "module mid(input logic clk);\n"
              "  leaf u_leaf0(.clk(clk));\n"
              "  leaf u_leaf1(.clk(clk));\n"
              "endmodule\n");
    writeFile(dir.file("leaf.sv"),
              "module leaf(input logic clk);\n"
              "  logic [`WIDTH-1:0] q;\n"
              "  always_ff @(posedge clk) q <= q;\n"
              "endmodule\n");
}

} // namespace

TEST(CompilerDiagnostics, StatusOfEachKindOfFileList) {
    TempDir dir;
    writeCleanProject(dir);
    // Relative paths are resolved against the working directory.
    const wexla_test::WorkingDirectory inDir(dir.path());
    EXPECT_EQ(diagnostics({"top.sv", "mid.sv", dir.file("leaf.sv")}), emptyAnswer(200));

    // A syntax error is located by absolute path, line and column.
    writeFile(dir.file("bad.sv"), "module bad;\n  wire a\nendmodule\n");
    const std::string expected = "{\n"
                                 "  \"status\": 501,\n"
                                 "  \"errors\": [\n"
                                 "    {\n"
                                 "      \"description\": \"error: expected ';'\",\n"
                                 "      \"file_name\": \"" + canonical(dir.file("bad.sv")) + "\",\n"
                                 "      \"line\": 2,\n"
                                 "      \"column\": 9\n"
                                 "    }\n"
                                 "  ],\n"
                                 "  \"warnings\": [\n"
                                 "  ]\n"
                                 "}";
    EXPECT_EQ(diagnostics({"top.sv", "mid.sv", "leaf.sv", "bad.sv"}), expected);
    EXPECT_EQ(status(), 501);

    EXPECT_EQ(diagnostics({}), emptyAnswer(498));
    // One missing file spoils a list of good ones; so do an empty path and a
    // folder. The answer names the path and what is wrong with it.
    EXPECT_EQ(diagnostics({dir.file("top.sv"), dir.file("missing.sv"), dir.file("mid.sv")}),
              unreadableAnswer(dir.file("missing.sv"), dir.file("missing.sv"),
                               "no such file or directory"));
    EXPECT_EQ(diagnostics({""}), unreadableAnswer("", "", "the path is empty or no path"));
    EXPECT_EQ(diagnostics({dir.path().string()}),
              unreadableAnswer(dir.path().string(), dir.path().string(), "is a folder, not a file"));
    EXPECT_EQ(status(), 499);
    writeFile(dir.file("empty.sv"), "");
    EXPECT_EQ(diagnostics({dir.file("empty.sv")}), emptyAnswer(200));
}

TEST(CompilerDiagnostics, WarningsOnlyAnswer200AndErrorInMacroPointsAtItsUse) {
    TempDir dir;
    writeFile(dir.file("warn.sv"),
              "module warn;\n"
              "  logic [3:0] a;\n"
              "  logic [7:0] b;\n"
              "  assign b = a;\n"
              "endmodule\n");
    // Warnings go to their own list and leave the status at 200.
    EXPECT_EQ(jsonAt(diagnostics({dir.file("warn.sv")}), "$"),
              "{\"status\":200,\"errors\":[],\"warnings\":[{\"description\":\"warning: implicit "
              "conversion expands from 4 to 8 bits\",\"file_name\":\"" +
                  canonical(dir.file("warn.sv")) + "\",\"line\":4,\"column\":14}]}");

    writeFile(dir.file("mac.sv"),
              "`define USE_BAD assign y = nope;\n"
              "module mac;\n"
              "  wire y;\n"
              "  `USE_BAD\n"
              "endmodule\n");
    EXPECT_EQ(jsonAt(diagnostics({dir.file("mac.sv")}), "$.errors[0]"),
              "{\"description\":\"error: use of undeclared identifier 'nope'\",\"file_name\":\"" +
                  canonical(dir.file("mac.sv")) + "\",\"line\":4,\"column\":3}");
}

TEST(CompilerDiagnostics, ClientSortsBySeverityAndLeavesUnlocatedEntriesEmpty) {
    slang::SourceManager sourceManager;
    slang::DiagnosticEngine engine(sourceManager);
    auto client = std::make_shared<custom_diag_client>();
    engine.addClient(client);
    const slang::Diagnostic unlocated(slang::diag::ExpectedExpression,
                                      slang::SourceLocation::NoLocation);

    engine.setSeverity(slang::diag::ExpectedExpression, slang::DiagnosticSeverity::Note);
    engine.issue(unlocated);
    engine.setSeverity(slang::diag::ExpectedExpression, slang::DiagnosticSeverity::Ignored);
    engine.issue(unlocated);
    EXPECT_EQ(client->get_status(), 200);
    engine.setSeverity(slang::diag::ExpectedExpression, slang::DiagnosticSeverity::Fatal);
    engine.issue(unlocated);

    EXPECT_EQ(client->get_status(), 501);
    ASSERT_EQ(client->get_warnings().size(), 1u);
    ASSERT_EQ(client->get_errors().size(), 1u);
    const auto& note = client->get_warnings()[0];
    EXPECT_EQ(note.severity, "note");
    EXPECT_EQ(note.message, "note: expected expression");
    EXPECT_EQ(note.file, "");
    EXPECT_EQ(note.line, 0u);
    EXPECT_EQ(note.column, 0u);
    EXPECT_EQ(client->get_errors()[0].message, "fatal: expected expression");
}
