// A project database for the tests of the record store and its users, and
// capture of the log streams.
#pragma once

#include "database.h"
#include "engine_log.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wexla_test {

// A time and a value past 32 bits.
constexpr int64_t kLate = (int64_t{1} << 33) + 7;  // 8589934599
constexpr int64_t kWide = (int64_t{1} << 32) + 5;  // 4294967301

// A fresh, empty project database in a folder of its own.
class ProjectTest : public testing::Test {
protected:
    void SetUp() override {
        Database::init(dir.file("project.db"));
        db().clear(true);
    }
    Database& db() { return Database::instance(); }
    std::vector<std::string> rows(const std::string& sql) { return queryRows(db().handle(), sql); }

    TempDir dir;
};

// The rows a recorded run refers to: `source` as a project file, module "top"
// and its top instance, id 1. Answers the file's id.
inline int addTopDesign(const std::string& source) {
    Database& db = Database::instance();
    db.insertProjectStructure({source});
    db.insertModule(1, "top", source, 1, 20);
    db.insertInstance(1, "top", source, 1, 20, "top", -1, "top", true);
    return db.getFileID(source);
}

// What `body` wrote to standard error, or to standard output, while it ran.
template <typename Body>
std::string stderrOf(Body&& body) {
    testing::internal::CaptureStderr();
    body();
    return testing::internal::GetCapturedStderr();
}

template <typename Body>
std::string stdoutOf(Body&& body) {
    testing::internal::CaptureStdout();
    body();
    return testing::internal::GetCapturedStdout();
}

// What `body` wrote to the engine's log file (engine_log.h) while it ran.
template <typename Body>
std::string engineLogOf(Body&& body) {
    std::ostringstream text;
    {
        const StreamRedirect into(engine_log::out(), text.rdbuf());
        body();
    }
    return text.str();
}

} // namespace wexla_test
