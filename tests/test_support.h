// Shared helpers for the engine's tests. ctest runs every test in a process of
// its own, so the engine's single instances start fresh in each test; run all
// in one process, the tests that need them fresh are skipped.
#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace wexla_test {

// A fresh directory under the system's temporary folder, removed at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Rows of a query as text, columns joined by '|', NULL written as "NULL".
std::vector<std::string> queryRows(sqlite3* conn, const std::string& sql);
// The same on a database file, through a connection of its own.
std::vector<std::string> queryFile(const std::string& path, const std::string& sql);

// Sends a stream into another buffer (nullptr: nowhere) while alive, so a
// failed assertion or an exception cannot leave it pointing at a dead buffer.
class StreamRedirect {
public:
    StreamRedirect(std::ostream& stream, std::streambuf* into)
        : stream_(stream), saved_(stream.rdbuf(into)) {}
    ~StreamRedirect() { stream_.rdbuf(saved_); }
    StreamRedirect(const StreamRedirect&) = delete;
    StreamRedirect& operator=(const StreamRedirect&) = delete;

private:
    std::ostream& stream_;
    std::streambuf* saved_;
};

// Sends both log streams into buffers while alive.
class QuietLogs {
public:
    QuietLogs() = default;
    QuietLogs(const QuietLogs&) = delete;
    QuietLogs& operator=(const QuietLogs&) = delete;
    std::ostringstream outText;
    std::ostringstream errText;

private:
    StreamRedirect out_{std::cout, outText.rdbuf()};
    StreamRedirect err_{std::cerr, errText.rdbuf()};
};

// Works in `dir` while alive; the directory the test started in comes back
// however the test ends (a later test would otherwise run in a removed folder).
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::filesystem::path& dir)
        : saved_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~WorkingDirectory() {
        std::error_code ignored;
        std::filesystem::current_path(saved_, ignored);
    }
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

private:
    std::filesystem::path saved_;
};

// Whether the running test is the first of its process. ctest runs every test
// in a process of its own; a developer may run them all in one.
bool firstTestOfProcess();

// For a test of the engine before any project, compile or step: the single
// instances keep what earlier tests of the same process left in them.
#define SKIP_UNLESS_FIRST_IN_PROCESS()                                                            \
    if (!wexla_test::firstTestOfProcess())                                                         \
    GTEST_SKIP() << "needs the engine fresh: ctest runs it in a process of its own"

// The value at `path` ("$.a[0].b") of a JSON text as SQLite's json_extract
// gives it (objects and arrays minified, NULL as "NULL"), or "invalid JSON".
std::string jsonAt(const std::string& json, const std::string& path);

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& text);

} // namespace wexla_test
