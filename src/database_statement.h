// A prepared SQLite statement for the project database's own code, finalized
// on every path, and the small helpers the database's files share.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A name as an SQL identifier: in double quotes, its own quotes doubled, so
// that whatever a table is called stays a name and never becomes SQL.
inline std::string quotedIdentifier(std::string_view name) {
    std::string out = "\"";
    for (const char c : name) {
        out += c;
        if (c == '"')
            out += c;
    }
    return out + '"';
}

class Statement {
public:
    Statement(sqlite3* conn, const std::string& sql) {
        if (sqlite3_prepare_v2(conn, sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK)
            stmt_ = nullptr;
    }
    // Borrows a statement its owner keeps prepared; it is left reset and
    // unbound for the next use instead of being finalized.
    explicit Statement(sqlite3_stmt* kept) : stmt_(kept), owned_(false) {}
    ~Statement() {
        if (owned_) {
            sqlite3_finalize(stmt_);
        } else if (stmt_) {
            sqlite3_reset(stmt_);
            sqlite3_clear_bindings(stmt_);
        }
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return stmt_ != nullptr; }
    sqlite3_stmt* get() const { return stmt_; }

    void text(int index, std::string_view value) {
        sqlite3_bind_text(stmt_, index, value.data(), static_cast<int>(value.size()),
                          SQLITE_TRANSIENT);
    }
    // Text that outlives the statement's next step, bound without a copy.
    void borrowedText(int index, std::string_view value) {
        sqlite3_bind_text(stmt_, index, value.data(), static_cast<int>(value.size()),
                          SQLITE_STATIC);
    }
    void integer(int index, int64_t value) { sqlite3_bind_int64(stmt_, index, value); }
    void null(int index) { sqlite3_bind_null(stmt_, index); }
    int step() { return sqlite3_step(stmt_); }

    bool isNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
    // The column of the current row; NULL reads as `fallback`.
    int64_t integerAt(int column, int64_t fallback = -1) const {
        return isNull(column) ? fallback : sqlite3_column_int64(stmt_, column);
    }
    // The column's text with its full byte length; NULL reads as empty.
    std::string textAt(int column) const {
        auto text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
        return text ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(stmt_, column)))
                    : std::string();
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
    bool owned_ = true;
};

// The names of the objects of `type` ("table", "view") that are not SQLite's own.
inline std::vector<std::string> listObjects(sqlite3* conn, const char* type) {
    std::vector<std::string> names;
    Statement stmt(conn,
                   "SELECT name FROM sqlite_master WHERE type = ? AND name NOT LIKE 'sqlite_%';");
    if (!stmt.ok())
        return names;
    stmt.text(1, type);
    while (stmt.step() == SQLITE_ROW)
        names.push_back(stmt.textAt(0));
    return names;
}

// The rows of `table`, or -1 when it cannot be counted (no such table).
inline int64_t rowCount(sqlite3* conn, std::string_view table) {
    Statement stmt(conn, "SELECT count(*) FROM " + quotedIdentifier(table) + ";");
    return stmt.ok() && stmt.step() == SQLITE_ROW ? stmt.integerAt(0) : -1;
}
