#include "engine_log.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace wexla_test;

// The log starts afresh beside each project's database, and never writes
// through a link it finds at its place.
TEST(EngineLog, StartsAfreshBesideTheDatabaseAndReplacesALink) {
    TempDir dir;
    const std::string log = dir.file("wexla_engine.log");
    const std::string target = dir.file("precious.txt");
    writeFile(target, "keep me\n");
    std::filesystem::create_symlink(target, log);

    const QuietLogs quiet;
    engine_log::startBeside(dir.file("project.db"));
    engine_log::out() << "first project" << std::endl;
    EXPECT_EQ(readFile(target), "keep me\n");
    EXPECT_FALSE(std::filesystem::is_symlink(log));
    EXPECT_EQ(readFile(log), "first project\n");
    EXPECT_NE(quiet.errText.str().find(log + " was a link"), std::string::npos);

    engine_log::startBeside(dir.file("project.db"));
    engine_log::out() << "second" << std::endl;
    EXPECT_EQ(readFile(log), "second\n");

    // A place that cannot hold the log drops its lines, and says so.
    std::filesystem::create_directories(dir.path() / "sub" / "wexla_engine.log");
    engine_log::startBeside(dir.file("sub/project.db"));
    engine_log::out() << "dropped" << std::endl;
    EXPECT_NE(quiet.errText.str().find("cannot write the engine's log"), std::string::npos);
    EXPECT_EQ(readFile(log), "second\n");
}
