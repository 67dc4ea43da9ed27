#include "test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace wexla_test {

namespace {

int tests_started = 0;

class CountTests : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { ++tests_started; }
};

// Registered before main() runs the tests.
const bool counting = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new CountTests);
    return true;
}();

} // namespace

bool firstTestOfProcess() { return tests_started == 1; }

TempDir::TempDir() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("wexla-test-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::vector<std::string> queryRows(sqlite3* conn, const std::string& sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(conn, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
        throw std::runtime_error("bad test query: " + std::string(sqlite3_errmsg(conn)));
    std::vector<std::string> rows;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        std::string row;
        for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
            if (c)
                row += '|';
            auto text = sqlite3_column_text(stmt, c);
            row += text ? reinterpret_cast<const char*>(text) : "NULL";
        }
        rows.push_back(row);
    }
    sqlite3_finalize(stmt);
    return rows;
}

std::vector<std::string> queryFile(const std::string& path, const std::string& sql) {
    sqlite3* conn = nullptr;
    if (sqlite3_open_v2(path.c_str(), &conn, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(conn);
        throw std::runtime_error("cannot open " + path);
    }
    try {
        auto rows = queryRows(conn, sql);
        sqlite3_close(conn);
        return rows;
    } catch (...) {
        sqlite3_close(conn);
        throw;
    }
}

std::string jsonAt(const std::string& json, const std::string& path) {
    sqlite3* conn = nullptr;
    sqlite3_open(":memory:", &conn);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(conn,
                       "SELECT CASE WHEN json_valid(?1) THEN json_extract(?1, ?2) ELSE "
                       "'invalid JSON' END",
                       -1, &stmt, nullptr);
    sqlite3_bind_text(stmt, 1, json.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt, 2, path.c_str(), -1, SQLITE_TRANSIENT);
    std::string out = "NULL";
    if (sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_text(stmt, 0))
        out = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    sqlite3_finalize(stmt);
    sqlite3_close(conn);
    return out;
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

} // namespace wexla_test
