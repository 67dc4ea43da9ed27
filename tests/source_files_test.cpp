// Only regular files of a bounded size are read as sources or `include
// files: a FIFO would block the engine for good and /dev/zero would be read
// until memory ran out. Were the checks missing, these tests would hang.
#include "error_handling.h"
#include "nesting_limits.h"
#include "source_files.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

using wexla_test::TempDir;
using wexla_test::WorkingDirectory;
using wexla_test::writeFile;

namespace {

std::string diagnostics(const std::vector<std::string>& paths) {
    return CompilationResult::instance().get_compile_diagnostics(paths);
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string fifoIn(const TempDir& dir, const std::string& name) {
    const std::string path = dir.file(name);
    EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
    return path;
}

const std::string kNotRegular = "is not a regular file (a device, FIFO or socket)";

} // namespace

TEST(SourceFiles, SourcesThatAreNoRegularFilesAreRefusedNamingThem) {
    TempDir dir;
    const std::string fifo = fifoIn(dir, "fifo.sv");
    const std::string huge = dir.file("huge.sv");
    writeFile(huge, "module top; endmodule\n");
    std::filesystem::resize_file(huge, source_files::kMaxSourceBytes + 1);
    const std::string fits = dir.file("fits.sv");
    writeFile(fits, "module top; endmodule\n");
    std::filesystem::resize_file(fits, source_files::kMaxSourceBytes);

    for (const auto& [path, problem] :
         std::vector<std::pair<std::string, std::string>>{
             {fifo, kNotRegular},
             {"/dev/zero", kNotRegular},
             {huge, "is 33554433 bytes; a source may have at most 33554432"}}) {
        const std::string answer = diagnostics({fits, path});
        EXPECT_TRUE(answer.starts_with("{\n  \"status\": 499,")) << answer;
        EXPECT_TRUE(contains(answer, "\"description\": \"error: cannot read source \\\"" + path +
                                         "\\\": " + problem + "\""))
            << answer;
        EXPECT_TRUE(contains(answer, "\"file_name\": \"" + path + "\"")) << answer;
    }
    // A file at the limit is read (its padding is blanks to the parser).
    EXPECT_EQ(source_files::problemWith(fits), std::nullopt);
}

TEST(SourceFiles, IncludesOfFilesThatAreNoSourcesAreRefusedWhereTheyStand) {
    TempDir dir;
    const std::string fifo = fifoIn(dir, "fifo.svh");
    writeFile(dir.file("good.svh"), "logic g;\n");
    const auto refusal = [&](const std::string& text) {
        writeFile(dir.file("top.sv"), text);
        return diagnostics({dir.file("top.sv")});
    };
    const std::string zero = "`include not read: /dev/zero: " + kNotRegular;

    // Quoted, in angle brackets, through a macro, inside a macro's body (it
    // is checked where it is defined), relative to the including file.
    for (const std::string& text :
         {std::string("module top;\n`include \"/dev/zero\"\nendmodule\n"),
          std::string("module top;\n`include </dev/zero>\nendmodule\n"),
          std::string("`define Z \"/dev/zero\"\n`define ZZ `Z\nmodule top;\n`include `ZZ\nendmodule\n"),
          std::string("`define INC `include \"/dev/zero\"\nmodule top;\nendmodule\n")}) {
        const std::string answer = refusal(text);
        EXPECT_TRUE(answer.starts_with("{\n  \"status\": 501,")) << answer;
        EXPECT_TRUE(contains(answer, zero)) << text << answer;
    }
    EXPECT_TRUE(contains(refusal("module top;\n`include \"fifo.svh\"\nendmodule\n"),
                         "`include not read: " + fifo + ": " + kNotRegular));
    // A name the engine cannot work out before the preprocessor runs is not followed.
    EXPECT_TRUE(contains(refusal("`define INC(f) `include f\nmodule top;\nendmodule\n"),
                         "the engine follows only a file name in quotes or angle brackets"));
    // Regular files are read; a missing one is the parse's to report.
    EXPECT_TRUE(refusal("module top;\n`include \"good.svh\"\nendmodule\n")
                    .starts_with("{\n  \"status\": 200,"));
    EXPECT_TRUE(contains(refusal("module top;\n`include \"missing.svh\"\nendmodule\n"),
                         "missing.svh"));

    // A text's relative names are taken from the working folder.
    const WorkingDirectory inDir(dir.path());
    const auto excess = nesting::scanText("module top;\n`include \"fifo.svh\"\nendmodule\n");
    ASSERT_TRUE(excess.has_value());
    EXPECT_EQ(excess->describe(), "`include not read: fifo.svh: " + kNotRegular + " (source:2:1)");
}
