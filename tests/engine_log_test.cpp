#include "engine_log.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

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
    EXPECT_NE(quiet.errText.str().find(log + " was a symbolic link"), std::string::npos);

    engine_log::startBeside(dir.file("project.db"));
    engine_log::out() << "second" << std::endl;
    EXPECT_EQ(readFile(log), "second\n");

    // A place that cannot hold the log drops its lines, and says so.
    std::filesystem::create_directories(dir.path() / "sub" / "wexla_engine.log");
    engine_log::startBeside(dir.file("sub/project.db"));
    engine_log::out() << "dropped" << std::endl;
    EXPECT_NE(quiet.errText.str().find("the engine's log " + dir.file("sub/wexla_engine.log") +
                                       " could not be opened: it is a directory"),
              std::string::npos);
    EXPECT_EQ(readFile(log), "second\n");

    // Another name of a file is no log of the engine's: that file keeps its
    // text. A FIFO would block the engine with its lock held: it is refused.
    ASSERT_EQ(::unlink(log.c_str()), 0);
    ASSERT_EQ(::link(target.c_str(), log.c_str()), 0);
    engine_log::startBeside(dir.file("project.db"));
    engine_log::out() << "third" << std::endl;
    EXPECT_EQ(readFile(target), "keep me\n");
    EXPECT_EQ(readFile(log), "third\n");
    std::filesystem::create_directories(dir.path() / "fifo");
    ASSERT_EQ(::mkfifo(dir.file("fifo/wexla_engine.log").c_str(), 0600), 0);
    engine_log::startBeside(dir.file("fifo/project.db"));
    engine_log::out() << "dropped" << std::endl;
    EXPECT_NE(quiet.errText.str().find("it is not a regular file"), std::string::npos);
}
