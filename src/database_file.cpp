// The project database's file: which files a project may take over, and
// whether a save left in the file what it copied there.
#include "database.h"

#include "database_statement.h"

#include <sqlite3.h>

#include <filesystem>
#include <set>

namespace fs = std::filesystem;

namespace {

// A read-only look at a file that is never created or changed by looking.
class ReadOnlyConnection {
public:
    explicit ReadOnlyConnection(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &conn_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
            error_ = conn_ ? sqlite3_errmsg(conn_) : "out of memory";
    }
    ~ReadOnlyConnection() { sqlite3_close_v2(conn_); }
    ReadOnlyConnection(const ReadOnlyConnection&) = delete;
    ReadOnlyConnection& operator=(const ReadOnlyConnection&) = delete;

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    sqlite3* get() const { return conn_; }

private:
    sqlite3* conn_ = nullptr;
    std::string error_;
};

// "ok", or what SQLite's structural check found first; "" when it cannot run.
std::string quickCheck(sqlite3* conn, std::string& why) {
    Statement stmt(conn, "PRAGMA quick_check;");
    if (!stmt.ok()) {
        why = sqlite3_errmsg(conn);
        return "";
    }
    const int rc = stmt.step();
    if (rc != SQLITE_ROW) {
        why = sqlite3_errmsg(conn);
        return "";
    }
    return stmt.textAt(0);
}

// In name order, for messages that do not depend on how SQLite lists them.
std::set<std::string> tableNames(sqlite3* conn) {
    const std::vector<std::string> names = listObjects(conn, "table");
    return {names.begin(), names.end()};
}

bool hasColumn(sqlite3* conn, const char* table, const char* column) {
    Statement stmt(conn, "SELECT 1 FROM pragma_table_info(?) WHERE name = ?;");
    if (!stmt.ok())
        return false;
    stmt.text(1, table);
    stmt.text(2, column);
    return stmt.step() == SQLITE_ROW;
}

// A few names, for a message: crafted names may be long.
std::string someNames(const std::set<std::string>& names) {
    std::string out;
    size_t shown = 0;
    for (const auto& name : names) {
        if (shown == 3) {
            out += ", ...";
            break;
        }
        out += (shown++ ? ", " : "") + name.substr(0, 40);
    }
    return out;
}

} // namespace

std::optional<std::string> Database::refusalOf(const std::string& path) {
    const std::string named = "the project database " + path;
    if (path == ":memory:")
        return named + " would live in memory only and never be saved: give a file path";
    // SQLite reads such a name as a URI, which may name memory or another file.
    if (path.starts_with("file:"))
        return named + " would be read as an SQLite URI: give a plain file path (./" + path +
               " for a file of that name)";
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found)
        return std::nullopt;  // a new project's file
    if (ec)
        return named + " cannot be used: " + ec.message();
    if (status.type() == fs::file_type::directory)
        return named + " is a folder, not a file";
    if (status.type() != fs::file_type::regular)
        return named + " is not a regular file";
    if (fs::file_size(path, ec) == 0 && !ec)
        return std::nullopt;

    const ReadOnlyConnection file(path);
    if (!file.ok())
        return named + " cannot be opened: " + file.error();
    std::string why;
    const std::string check = quickCheck(file.get(), why);
    const int code = sqlite3_errcode(file.get()) & 0xff;
    if (check.empty() && code == SQLITE_NOTADB)
        return named + " is not an SQLite database: it is left as it is; choose another file";
    if (check.empty() && code != SQLITE_CORRUPT)
        return named + " cannot be read (" + why + "): it is left as it is";
    if (check != "ok")
        return named + " is damaged (" + (check.empty() ? why : check) +
               "): it is left as it is; move it away or choose another file";
    const std::set<std::string> tables = tableNames(file.get());
    if (tables.empty())
        return std::nullopt;
    // Every project this engine saves holds both, whatever else a host added.
    if (hasColumn(file.get(), "projectstate", "default_working_hierarchy") &&
        hasColumn(file.get(), "projectstructure", "file_path"))
        return std::nullopt;
    return named + " holds other tables (" + someNames(tables) +
           ") and is no project database of this engine: it is left as it is; choose another file";
}

bool Database::fileHoldsProject(std::string* why) {
    const ReadOnlyConnection file(db_path);
    std::string problem;
    if (!file.ok()) {
        problem = "the file cannot be opened again: " + file.error();
    } else if (const std::string check = quickCheck(file.get(), problem); check.empty()) {
        problem = "the file cannot be checked: " + problem;
    } else if (check != "ok") {
        problem = "the file is damaged: " + check;
    } else {
        for (const std::string& table : tableNames(db)) {
            const int64_t saved = rowCount(db, table);
            const int64_t found = rowCount(file.get(), table);
            if (found < 0) {
                problem = "the file holds no table " + table;
                break;
            }
            if (saved != found) {
                problem = "the file holds " + std::to_string(found) + " rows of " + table +
                          " where " + std::to_string(saved) + " were saved";
                break;
            }
        }
    }
    if (problem.empty())
        return true;
    if (why)
        *why = problem;
    return false;
}

std::string Database::fileBeside(const std::string& db_path, const std::string& name) {
    std::error_code ec;
    const fs::path folder = fs::absolute(db_path, ec).parent_path();
    const fs::path resolved = fs::weakly_canonical(folder, ec);
    return ((ec ? folder : resolved) / name).string();
}
