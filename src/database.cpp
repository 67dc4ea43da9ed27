#include "database.h"

#include "answer_limit.h"
#include "database_statement.h"
#include "engine_log.h"

#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <iostream>
#include <stdexcept>

namespace {

const char* const kSchema = R"SQL(
CREATE TABLE IF NOT EXISTS modules (
    module_id INTEGER NOT NULL,
    name TEXT PRIMARY KEY,
    file_id INTEGER NOT NULL,
    start_line INTEGER NOT NULL,
    end_line INTEGER NOT NULL,
    FOREIGN KEY (file_id) REFERENCES projectstructure(id)
);
CREATE TABLE IF NOT EXISTS instances (
    instance_id INTEGER PRIMARY KEY,
    instance_name TEXT NOT NULL,
    file_id INTEGER NOT NULL,
    start_line INTEGER NOT NULL,
    end_line INTEGER NOT NULL,
    base_module TEXT NOT NULL,
    parent_id INTEGER,
    instance_path TEXT UNIQUE NOT NULL,
    FOREIGN KEY (base_module) REFERENCES modules(name),
    FOREIGN KEY (parent_id) REFERENCES instances(instance_id),
    FOREIGN KEY (file_id) REFERENCES projectstructure(id)
);
CREATE TABLE IF NOT EXISTS signals (
    name TEXT NOT NULL,
    signal_id INTEGER NOT NULL,
    file_id INTEGER NOT NULL,
    line TEXT NOT NULL,
    width INTEGER NOT NULL,
    isReg INTEGER NOT NULL,
    isPort INTEGER NOT NULL,
    type TEXT NOT NULL,
    module TEXT NOT NULL,
    instance_id INTEGER NOT NULL,
    FOREIGN KEY (module) REFERENCES modules(name),
    FOREIGN KEY (instance_id) REFERENCES instances(instance_id),
    PRIMARY KEY (signal_id),
    FOREIGN KEY (file_id) REFERENCES projectstructure(id)
);
CREATE TABLE IF NOT EXISTS timeline (
    step INTEGER NOT NULL,
    time INTEGER NOT NULL,
    current_file_id INTEGER,
    current_line INTEGER,
    signal_id INTEGER NOT NULL,
    signal_val INTEGER NOT NULL,
    FOREIGN KEY (signal_id) REFERENCES signals(signal_id),
    FOREIGN KEY (current_file_id) REFERENCES projectstructure(id)
);
CREATE TABLE IF NOT EXISTS queuestate (
    step INTEGER NOT NULL,
    type TEXT NOT NULL,
    file_id INTEGER NOT NULL,
    line INTEGER NOT NULL,
    instance_path TEXT,
    when_line INTEGER,
    FOREIGN KEY (instance_path) REFERENCES instances(instance_path),
    FOREIGN KEY (file_id) REFERENCES projectstructure(id)
);
CREATE TABLE IF NOT EXISTS projectstate (
    md5checksum TEXT,
    default_max_simulation_time INTEGER NOT NULL,
    default_max_simulation_cycle INTEGER NOT NULL,
    default_simulation_start_time INTEGER NOT NULL,
    waveform_window_size INTEGER,
    default_simulation_time_unit TEXT NOT NULL,
    default_working_hierarchy TEXT NOT NULL,
    last_simulation_status INTEGER,
    last_simulation_error TEXT,
    final_time INTEGER
);
CREATE TABLE IF NOT EXISTS projectstructure (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    file_path TEXT UNIQUE NOT NULL
);
CREATE TABLE IF NOT EXISTS properties (
    id TEXT PRIMARY KEY,
    label TEXT NOT NULL,
    instance_id TEXT NOT NULL
);
CREATE TABLE IF NOT EXISTS propertytimeline (
    step INTEGER NOT NULL,
    property_id TEXT NOT NULL,
    state TEXT NOT NULL,
    PRIMARY KEY (step, property_id),
    FOREIGN KEY (property_id) REFERENCES properties(id)
);
CREATE TABLE IF NOT EXISTS assertionevents (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    property_id TEXT NOT NULL,
    time INTEGER NOT NULL,
    result TEXT NOT NULL,
    FOREIGN KEY (property_id) REFERENCES properties(id)
);
)SQL";

// The indexes of the run's tables come last in the schema: a run that drops
// and makes them again leaves the schema as it was.
const char* const kDesignIndexes = R"SQL(
CREATE INDEX IF NOT EXISTS signals_by_name ON signals (name);
CREATE INDEX IF NOT EXISTS signals_by_instance ON signals (instance_id);
)SQL";
const char* const kRunIndexes = R"SQL(
CREATE INDEX IF NOT EXISTS timeline_by_step ON timeline (step);
CREATE INDEX IF NOT EXISTS timeline_by_time ON timeline (time, step, signal_id, signal_val, current_file_id, current_line);
CREATE INDEX IF NOT EXISTS queuestate_by_type ON queuestate (type, step, instance_path, line, file_id, when_line);
)SQL";
const char* const kDropRunIndexes =
    "DROP INDEX IF EXISTS timeline_by_step; DROP INDEX IF EXISTS timeline_by_time; "
    "DROP INDEX IF EXISTS queuestate_by_type;";

// Copies every page of `from` into `to`; answers SQLite's result code.
int copyDatabase(sqlite3* to, sqlite3* from) {
    sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
    if (!backup)
        return sqlite3_errcode(to);
    sqlite3_backup_step(backup, -1);
    return sqlite3_backup_finish(backup);
}

} // namespace

std::string& Database::path_() {
    static std::string path;
    return path;
}

Database*& Database::live_() {
    static Database* live = nullptr;
    return live;
}

void Database::init(const std::string& path) {
    if (Database* live = live_())
        live->switchFile(path);
    path_() = path;
}

bool Database::configured() { return live_() != nullptr || !path_().empty(); }

Database& Database::instance() {
    static Database db(path_(), Passkey{});
    return db;
}

Database::Database(const std::string& path, Passkey)
    : db_path(path), schema(std::string(kSchema) + kDesignIndexes + kRunIndexes) {
    if (db_path.empty())
        throw std::runtime_error("Database::init(path) must be called before Database::instance()");
    // Calls into the engine take turns, so the connection is used by one
    // thread at a time: its own lock, taken on every call into SQLite, would
    // guard nothing.
    if (sqlite3_open_v2(":memory:", &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        db = nullptr;
        throw std::runtime_error("failed to open in-memory database");
    }
    std::cerr << "[init database]" << std::endl;
    try {
        startFromFile();
    } catch (...) {
        sqlite3_close(db);
        db = nullptr;
        throw;
    }
    live_() = this;
}

Database::~Database() {
    live_() = nullptr;
    if (!db)
        return;
    save();
    finalizeKeptStatements();
    sqlite3_close(db);
    db = nullptr;
}

void Database::startFromFile() {
    if (auto refusal = refusalOf(db_path))
        throw std::runtime_error(*refusal);
    ++content_epoch;
    loadFromFile(db, db_path);
    dropAllTables(db);
    exec_sql(schema);
}

void Database::switchFile(const std::string& path) {
    if (path.empty() || path == db_path)
        return;
    if (auto refusal = refusalOf(path))
        throw std::runtime_error(*refusal);
    save();
    // Open the new file before letting go of the old one: a path that cannot be
    // opened leaves the project where it was.
    finalizeKeptStatements();
    loadFromFile(db, path);
    ++content_epoch;
    db_path = path;
    dropAllTables(db);
    exec_sql(schema);
}

void Database::loadFromFile(sqlite3* memDb, const std::string& path) {
    sqlite3* file = nullptr;
    if (sqlite3_open(path.c_str(), &file) != SQLITE_OK) {
        sqlite3_close(file);
        throw std::runtime_error("failed to open/create database file: " + path);
    }
    const int rc = copyDatabase(memDb, file);
    const std::string error = rc == SQLITE_OK ? "" : sqlite3_errmsg(memDb);
    sqlite3_close(file);
    if (rc != SQLITE_OK)
        throw std::runtime_error("the project database " + path + " could not be read: " + error);
}

bool Database::dumpToFile(sqlite3* memDb, const std::string& path, std::string* why) {
    sqlite3* file = nullptr;
    int rc = sqlite3_open(path.c_str(), &file);
    std::string error;
    if (rc == SQLITE_OK) {
        rc = copyDatabase(file, memDb);
        if (rc != SQLITE_OK)
            error = sqlite3_errmsg(file);
    } else {
        error = file ? sqlite3_errmsg(file) : sqlite3_errstr(rc);
    }
    sqlite3_close(file);
    if (rc != SQLITE_OK && why)
        *why = error;
    return rc == SQLITE_OK;
}

bool Database::save(std::string* why) {
    std::string reason;
    if (dumpToFile(db, db_path, &reason) && fileHoldsProject(&reason))
        return true;
    std::cerr << "[DATABASE] save failed: " << reason << "\n";
    noteWriteFailure("saving " + db_path + ": " + reason);
    if (why)
        *why = reason;
    return false;
}

void Database::dropAllTables(sqlite3* conn) {
    sqlite3_exec(conn, "PRAGMA foreign_keys = OFF;", nullptr, nullptr, nullptr);
    for (const char* type : {"view", "table"})
        for (const auto& name : listObjects(conn, type))
            sqlite3_exec(conn,
                         ("DROP " + std::string(type) + " IF EXISTS " + quotedIdentifier(name) + ";")
                             .c_str(),
                         nullptr, nullptr, nullptr);
    sqlite3_exec(conn, "PRAGMA foreign_keys = ON;", nullptr, nullptr, nullptr);
}

bool Database::dropRunIndexes() { return exec_sql(kDropRunIndexes); }

bool Database::createRunIndexes() { return exec_sql(kRunIndexes); }

bool Database::checkRunKeysHere() {
    ParentKeys keys;
    auto collect = [this](const char* sql, auto&& add) {
        Statement stmt(db, sql);
        if (!stmt.ok())
            return false;
        int rc;
        while ((rc = stmt.step()) == SQLITE_ROW)
            add(stmt);
        return rc == SQLITE_DONE;
    };
    const bool read =
        collect("SELECT id FROM projectstructure;",
                [&](Statement& s) { keys.file_ids.insert(s.integerAt(0)); }) &&
        collect("SELECT signal_id FROM signals;",
                [&](Statement& s) { keys.signal_ids.insert(s.integerAt(0)); }) &&
        collect("SELECT instance_path FROM instances;",
                [&](Statement& s) { keys.instance_paths.insert(s.textAt(0)); });
    if (!read || !exec_sql("PRAGMA foreign_keys = OFF;"))
        return false;
    keys_checked_here = std::move(keys);
    return true;
}

void Database::checkKeysInSQLite() {
    if (!keys_checked_here)
        return;
    keys_checked_here.reset();
    exec_sql("PRAGMA foreign_keys = ON;");
}

// Only the keys: a row SQLite refuses for another reason is left to it.
bool Database::timelineRowRefersToNothing(int current_file_id, int current_line,
                                          int64_t signal_id) const {
    // A row without a signal fails its NOT NULL first.
    if (!keys_checked_here || signal_id < 0)
        return false;
    return !keys_checked_here->signal_ids.count(signal_id) ||
           (current_line >= 0 && !keys_checked_here->file_ids.count(current_file_id));
}

bool Database::queueRowRefersToNothing(int file_id, const std::string& instance_path) const {
    if (!keys_checked_here)
        return false;
    return !keys_checked_here->file_ids.count(file_id) ||
           (!instance_path.empty() && !keys_checked_here->instance_paths.count(instance_path));
}

bool Database::exec_sql(const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) == SQLITE_OK)
        return true;
    reportWriteFailure("[DATABASE] SQL error: ", error ? error : "unknown");
    sqlite3_free(error);
    return false;
}

void Database::reportWriteFailure(const std::string& prefix, const std::string& message) {
    std::cerr << prefix << message << "\n";
    noteWriteFailure(message);
}

void Database::noteWriteFailure(const std::string& reason) {
    for (FailedWrites* watcher : write_watchers)
        if (watcher->count_++ == 0)
            watcher->first_ = reason;
}

FailedWrites::FailedWrites(Database& db) : db_(db) { db_.write_watchers.push_back(this); }

FailedWrites::~FailedWrites() { std::erase(db_.write_watchers, this); }

std::string FailedWrites::describe() const {
    return std::to_string(count_) + " write" + (count_ == 1 ? "" : "s") +
           " to the project database failed; the first: " + first_;
}

void Database::clear(bool structure) {
    // A new project gets back any table a host's SQL dropped.
    if (structure)
        exec_sql(schema);
    std::vector<std::string> tables{"projectstate"};
    if (structure)
        tables.emplace_back("projectstructure");
    for (const char* table : {"modules", "instances", "signals", "timeline", "queuestate",
                              "properties", "assertionevents", "propertytimeline"})
        tables.emplace_back(table);
    purgeTogether(tables);
}

// Tables whose rows refer to rows of later tables come first, so that no
// step of a purge leaves a row pointing nowhere.
static int purgeRank(const std::string& table) {
    static const char* const children_first[] = {
        "timeline", "queuestate", "propertytimeline", "assertionevents", "signals",
        "instances", "modules", "properties", "projectstate", "projectstructure"};
    const auto* end = std::end(children_first);
    return static_cast<int>(std::find(std::begin(children_first), end, table) -
                            std::begin(children_first));
}

bool Database::purgeTogether(const std::vector<std::string>& tables) {
    // With keys checked row by row every deleted row is a search; unchecked,
    // SQLite empties a table at once. One check at the end finds whatever the
    // purge left pointing nowhere, and undoes it.
    exec_sql("PRAGMA foreign_keys = OFF;");
    struct keys_back_on {
        Database& db;
        ~keys_back_on() { db.exec_sql("PRAGMA foreign_keys = ON;"); }
    } restore{*this};
    if (!exec_sql("BEGIN TRANSACTION;"))
        return false;
    std::vector<std::string> ordered = tables;
    std::stable_sort(ordered.begin(), ordered.end(), [](const std::string& a, const std::string& b) {
        return purgeRank(a) < purgeRank(b);
    });
    bool all = true;
    for (const auto& table : ordered)
        all = purge(table) && all;
    if (getQueryResults("SELECT count(*) FROM pragma_foreign_key_check") != "0") {
        reportWriteFailure("[DATABASE] ", "purge left rows that refer to deleted rows; undone");
        exec_sql("ROLLBACK;");
        return false;
    }
    if (exec_sql("COMMIT;"))
        return all;
    exec_sql("ROLLBACK;");
    return false;
}

bool Database::purge(const std::string& table) {
    char* error = nullptr;
    const int rc = sqlite3_exec(db, ("DELETE FROM " + quotedIdentifier(table) + ";").c_str(),
                                nullptr, nullptr, &error);
    if (rc == SQLITE_OK) {
        std::cerr << "[DATABASE] purge(" << table << ") deleted " << sqlite3_changes(db)
                  << " rows\n";
        return true;
    }
    const std::string message = error ? error : "unknown";
    sqlite3_free(error);
    reportWriteFailure("[DATABASE] purge(" + table + ") FAILED: ",
                       message + " (rc=" + std::to_string(rc) + ")");
    return false;
}

int Database::getRecordCount(const std::string& table) {
    return static_cast<int>(std::max<int64_t>(rowCount(db, table), 0));
}

std::string Database::process_retrieval_query(sqlite3* conn, const std::string& sql) {
    Statement stmt(conn, sql);
    if (!stmt.ok()) {
        std::cerr << "Retrieval failed " << sqlite3_errmsg(conn) << "\n";
        return "";
    }
    if (stmt.step() != SQLITE_ROW)
        return "";
    return stmt.textAt(0);
}

std::string Database::getQueryResults(const std::string& sql) {
    return process_retrieval_query(db, sql);
}

namespace {

// While alive, queries on the connection stop at a deadline.
class QueryDeadline {
public:
    QueryDeadline(sqlite3* conn, std::chrono::milliseconds time_limit)
        : conn_(conn), deadline_(std::chrono::steady_clock::now() + time_limit) {
        // Asked every thousand virtual-machine steps; non-zero interrupts.
        sqlite3_progress_handler(conn_, 1000, &QueryDeadline::passed, this);
    }
    ~QueryDeadline() { sqlite3_progress_handler(conn_, 0, nullptr, nullptr); }
    QueryDeadline(const QueryDeadline&) = delete;
    QueryDeadline& operator=(const QueryDeadline&) = delete;

private:
    static int passed(void* self) {
        return std::chrono::steady_clock::now() >= static_cast<QueryDeadline*>(self)->deadline_;
    }

    sqlite3* conn_;
    std::chrono::steady_clock::time_point deadline_;
};

} // namespace

Database::HostQueryAnswer Database::runHostQuery(const std::string& sql,
                                                 std::chrono::milliseconds time_limit) {
    const QueryDeadline deadline(db, time_limit);
    // Blanks, comments and empty statements before the first statement are
    // skipped; a text of nothing else runs nothing and answers no row.
    const char* first = sql.c_str();
    for (bool found = false; *first && !found;) {
        sqlite3_stmt* probe = nullptr;
        const char* rest = nullptr;
        if (sqlite3_prepare_v2(db, first, -1, &probe, &rest) != SQLITE_OK)
            return {false, "", sqlite3_errmsg(db)};
        found = probe != nullptr || rest == first;
        sqlite3_finalize(probe);
        if (!found)
            first = rest;
    }
    if (!*first)
        return {};
    Statement stmt(db, first);
    if (!stmt.ok())
        return {false, "", sqlite3_errmsg(db)};
    const int rc = stmt.step();
    if (rc == SQLITE_DONE)
        return {};
    if (rc == SQLITE_INTERRUPT)
        return {false, "",
                "the query ran longer than " + std::to_string(time_limit.count()) +
                    " ms and was interrupted; narrow it"};
    if (rc != SQLITE_ROW)
        return {false, "", sqlite3_errmsg(db)};
    const auto bytes = static_cast<size_t>(sqlite3_column_bytes(stmt.get(), 0));
    if (bytes > kMaxAnswerBytes)
        return {false, "", answerTooLargeMessage(bytes, "narrow the query")};
    return {true, stmt.textAt(0), ""};
}

void Database::dumpMemoryContents() {
    std::ostream& out = engine_log::out();
    for (const auto& name : listObjects(db, "table")) {
        Statement stmt(db, "SELECT * FROM " + quotedIdentifier(name) + ";");
        if (!stmt.ok())
            continue;
        out << "=== " << name << " ===\n";
        int rows = 0;
        const int columns = sqlite3_column_count(stmt.get());
        while (stmt.step() == SQLITE_ROW) {
            for (int c = 0; c < columns; ++c) {
                auto text = sqlite3_column_text(stmt.get(), c);
                out << sqlite3_column_name(stmt.get(), c) << "="
                    << (text ? reinterpret_cast<const char*>(text) : "NULL") << "  ";
            }
            out << "\n";
            ++rows;
        }
        out << name << " row count: " << rows << "\n";
    }
    out.flush();
}

namespace {

constexpr const char* kKeyFailure = "FOREIGN KEY constraint failed";

} // namespace

bool Database::finishInsert(sqlite3_stmt* stmt, const char* prefix) {
    if (stmt && sqlite3_step(stmt) == SQLITE_DONE)
        return true;
    reportWriteFailure(prefix, sqlite3_errmsg(db));
    return false;
}

bool Database::insertModule(int m_id, const std::string& name, const std::string& file,
                            int start_line, int end_line) {
    const int file_id = getFileID(file);
    Statement stmt(keptStatement("INSERT OR IGNORE INTO modules (module_id, name, file_id, start_line, "
                       "end_line) VALUES (?, ?, ?, ?, ?);"));
    if (stmt.ok()) {
        stmt.integer(1, m_id);
        stmt.text(2, name);
        stmt.integer(3, file_id);
        stmt.integer(4, start_line);
        stmt.integer(5, end_line);
    }
    return finishInsert(stmt.get(), "[DATABASE] Insert module failed: ");
}

bool Database::insertInstance(int inst_id, const std::string& inst_name, const std::string& file,
                              int start_line, int end_line, const std::string& base_m, int par_id,
                              const std::string& inst_path, bool isModule) {
    const int file_id = getFileID(file);
    Statement stmt(keptStatement("INSERT OR IGNORE INTO instances (instance_id, instance_name, file_id, "
                       "start_line, end_line, base_module, parent_id, instance_path) VALUES (?, "
                       "?, ?, ?, ?, ?, ?, ?);"));
    if (stmt.ok()) {
        stmt.integer(1, inst_id);
        stmt.text(2, inst_name);
        stmt.integer(3, file_id);
        stmt.integer(4, start_line);
        stmt.integer(5, end_line);
        stmt.text(6, base_m);
        if (isModule || par_id == -1)
            stmt.null(7);
        else
            stmt.integer(7, par_id);
        stmt.text(8, inst_path);
    }
    return finishInsert(stmt.get(), "[DATABASE] Insert instance failed: ");
}

bool Database::insertSignal(const std::string& name, int signal_id, const std::string& file,
                            int line, int width, int isReg, int isPort, const std::string& type,
                            const std::string& module, int inst_id) {
    return insertSignalRow({name, signal_id, getFileID(file), line, width, isReg, isPort, type,
                            module, inst_id});
}

// A property row; `kept` decides what an existing row of the same id keeps.
bool Database::insertPropertyRow(sqlite3_stmt* kept, const std::string& id,
                                 const std::string& label, const std::string& instance) {
    Statement stmt(kept);
    if (stmt.ok()) {
        stmt.text(1, id);
        stmt.text(2, label);
        stmt.text(3, instance);
    }
    return finishInsert(stmt.get(), "[DATABASE] Insert property failed: ");
}

bool Database::insertProperty(const std::string& id, const std::string& label,
                              const std::string& instance_id) {
    return insertPropertyRow(
        keptStatement("INSERT OR IGNORE INTO properties (id, label, instance_id) VALUES (?, ?, ?);"),
        id, label, instance_id);
}

bool Database::insertPropertyOfInstance(const std::string& id, const std::string& label,
                                        const std::string& instance_path) {
    return insertPropertyRow(
        keptStatement(
            "INSERT INTO properties (id, label, instance_id) VALUES (?, ?, ?) ON CONFLICT (id) "
            "DO UPDATE SET instance_id = excluded.instance_id WHERE excluded.instance_id <> '';"),
        id, label, instance_path);
}

bool Database::insertProjectState(int def_max_sim_time, int def_max_sim_cycle, int def_sim_start,
                                  int waveform_window_size, const std::string& def_sim_time_unit,
                                  const std::string& def_hierarchy) {
    Statement stmt(db, "INSERT INTO projectstate (default_max_simulation_time, "
                       "default_max_simulation_cycle, default_simulation_start_time, "
                       "waveform_window_size, default_simulation_time_unit, "
                       "default_working_hierarchy) VALUES (?, ?, ?, ?, ?, ?);");
    if (stmt.ok()) {
        stmt.integer(1, def_max_sim_time);
        stmt.integer(2, def_max_sim_cycle);
        stmt.integer(3, def_sim_start);
        stmt.integer(4, waveform_window_size);
        stmt.text(5, def_sim_time_unit);
        stmt.text(6, def_hierarchy);
    }
    return finishInsert(stmt.get(), "[DATABASE] Insert projectstate failed: ");
}

bool Database::updateSimulationOutcome(bool success, const std::string& error,
                                       uint64_t final_time) {
    Statement stmt(db, "UPDATE projectstate SET last_simulation_status=?, "
                       "last_simulation_error=?, final_time=?;");
    if (stmt.ok()) {
        stmt.integer(1, success ? 1 : 0);
        stmt.text(2, error);
        stmt.integer(3, static_cast<int64_t>(final_time));
    }
    return finishInsert(stmt.get(), "[DATABASE] Update projectstate failed: ");
}

bool Database::insertProjectStructure(const std::vector<std::string>& paths) {
    Statement stmt(db, "INSERT INTO projectstructure (file_path) VALUES (?);");
    if (!stmt.ok()) {
        reportWriteFailure("[DATABASE] insertProjectStructure: ", sqlite3_errmsg(db));
        return false;
    }
    bool last_ok = true;
    for (const auto& path : paths) {
        stmt.text(1, projectPath(path));
        last_ok = stmt.step() == SQLITE_DONE;
        // A path listed twice is stored once: nothing is lost.
        if (!last_ok && sqlite3_extended_errcode(db) == SQLITE_CONSTRAINT_UNIQUE)
            std::cerr << "[DATABASE] insertProjectStructure: " << sqlite3_errmsg(db) << "\n";
        else if (!last_ok)
            reportWriteFailure("[DATABASE] insertProjectStructure: ", sqlite3_errmsg(db));
        sqlite3_reset(stmt.get());
    }
    return last_ok;
}

bool Database::insertReferencedFiles(const std::vector<std::string>& paths) {
    bool all = true;
    for (const auto& path : paths) {
        // An ignored insert would still use up an id.
        if (getFileID(path) >= 0)
            continue;
        Statement stmt(keptStatement("INSERT INTO projectstructure (file_path) VALUES (?);"));
        if (stmt.ok())
            stmt.text(1, path);
        all = finishInsert(stmt.get(), "[DATABASE] insertReferencedFiles: ") && all;
    }
    return all;
}

sqlite3_stmt* Database::keptStatement(const char* sql) {
    auto found = kept_statements.find(sql);
    if (found != kept_statements.end())
        return found->second;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return nullptr;
    }
    kept_statements.emplace(sql, stmt);
    return stmt;
}

void Database::finalizeKeptStatements() {
    batch_inserts.clear();
    for (auto& [sql, stmt] : kept_statements)
        sqlite3_finalize(stmt);
    kept_statements.clear();
}

namespace {

constexpr const char* kTimelineColumns =
    "step, time, current_file_id, current_line, signal_id, signal_val";
constexpr const char* kQueueColumns = "step, type, line, file_id, instance_path, when_line";
constexpr const char* kSignalColumns =
    "name, signal_id, file_id, line, width, isReg, isPort, type, module, instance_id";
// Rows a batch insert takes: enough to spread a statement's own cost thin.
constexpr size_t kBatchRows = 32;

// A timeline row's signal and value, at parameters `at` and `at + 1`.
void bindSignalValue(Statement& stmt, int at, int64_t signal_id, int64_t signal_val) {
    if (signal_id < 0)
        stmt.null(at);
    else
        stmt.integer(at, signal_id);
    stmt.integer(at + 1, signal_val);
}

void bindTimelineRow(Statement& stmt, int at, int step, int64_t time, int current_file_id,
                     int current_line, int64_t signal_id, int64_t signal_val) {
    stmt.integer(at + 1, step);
    stmt.integer(at + 2, time);
    if (current_line < 0) {
        stmt.null(at + 3);
        stmt.null(at + 4);
    } else {
        stmt.integer(at + 3, current_file_id);
        stmt.integer(at + 4, current_line);
    }
    bindSignalValue(stmt, at + 5, signal_id, signal_val);
}

void bindSignalRow(Statement& stmt, int at, const Database::SignalRow& row) {
    stmt.borrowedText(at + 1, row.name);
    stmt.integer(at + 2, row.signal_id);
    stmt.integer(at + 3, row.file_id);
    stmt.integer(at + 4, row.line);
    stmt.integer(at + 5, row.width);
    stmt.integer(at + 6, row.isReg);
    stmt.integer(at + 7, row.isPort);
    stmt.borrowedText(at + 8, row.type);
    stmt.borrowedText(at + 9, row.module);
    stmt.integer(at + 10, row.instance_id);
}

void bindQueueRow(Statement& stmt, int at, int step, std::string_view type, int line,
                  int file_id, const std::string& instance_path, int64_t when_line) {
    stmt.integer(at + 1, step);
    stmt.borrowedText(at + 2, type);
    stmt.integer(at + 3, line);
    stmt.integer(at + 4, file_id);
    if (instance_path.empty())
        stmt.null(at + 5);
    else
        stmt.borrowedText(at + 5, instance_path);
    if (when_line < 0)
        stmt.null(at + 6);
    else
        stmt.integer(at + 6, when_line);
}

// Inserts `rows` in batches of kBatchRows with `batch(first, count)`, a
// batch that fails row by row with `one(index)`; answers the rows that went in.
template <typename Batch, typename One>
int insertInBatches(size_t rows, Batch&& batch, One&& one) {
    int inserted = 0;
    for (size_t first = 0; first < rows; first += kBatchRows) {
        const size_t count = std::min(kBatchRows, rows - first);
        if (batch(first, count)) {
            inserted += static_cast<int>(count);
            continue;
        }
        for (size_t i = first; i < first + count; ++i)
            inserted += one(i) ? 1 : 0;
    }
    return inserted;
}

} // namespace

sqlite3_stmt* Database::keptBatchInsert(const char* table, const char* columns,
                                        int column_count, size_t rows) {
    auto known = batch_inserts.find({table, rows});
    if (known != batch_inserts.end())
        return known->second;
    std::string row = "(";
    for (int c = 0; c < column_count; ++c)
        row += c ? ", ?" : "?";
    row += ")";
    std::string sql = std::string("INSERT INTO ") + table + " (" + columns + ") VALUES ";
    for (size_t r = 0; r < rows; ++r)
        sql += (r ? ", " : "") + row;
    sqlite3_stmt* stmt = keptStatement((sql + ";").c_str());
    if (stmt)
        batch_inserts.emplace(std::make_pair(table, rows), stmt);
    return stmt;
}

// Rows of one step: the step, time and place are parameters 1 to 4 of
// every row, each row's signal and value two more.
sqlite3_stmt* Database::keptTimelineBatch(size_t rows) {
    static const char* const kStepRows = "timeline rows of a step";
    auto known = batch_inserts.find({kStepRows, rows});
    if (known != batch_inserts.end())
        return known->second;
    std::string sql = std::string("INSERT INTO timeline (") + kTimelineColumns + ") VALUES ";
    for (size_t r = 0; r < rows; ++r)
        sql += (r ? ", " : "") + std::string("(?1, ?2, ?3, ?4, ?") + std::to_string(5 + 2 * r) +
               ", ?" + std::to_string(6 + 2 * r) + ")";
    sqlite3_stmt* stmt = keptStatement((sql + ";").c_str());
    if (stmt)
        batch_inserts.emplace(std::make_pair(kStepRows, rows), stmt);
    return stmt;
}

bool Database::insertSignalRow(const SignalRow& row) {
    Statement stmt(keptBatchInsert("signals", kSignalColumns, 10, 1));
    if (stmt.ok())
        bindSignalRow(stmt, 0, row);
    return finishInsert(stmt.get(), "[DATABASE] Insert signal failed: ");
}

int Database::insertSignalRows(const std::vector<SignalRow>& rows) {
    return insertInBatches(
        rows.size(),
        [&](size_t first, size_t count) {
            Statement stmt(keptBatchInsert("signals", kSignalColumns, 10, count));
            if (!stmt.ok())
                return false;
            for (size_t i = 0; i < count; ++i)
                bindSignalRow(stmt, static_cast<int>(10 * i), rows[first + i]);
            return stmt.step() == SQLITE_DONE;
        },
        [&](size_t i) { return insertSignalRow(rows[i]); });
}

bool Database::runKept(const char* sql) {
    Statement stmt(keptStatement(sql));
    const int rc = stmt.ok() ? stmt.step() : sqlite3_errcode(db);
    if (rc == SQLITE_DONE || rc == SQLITE_ROW)
        return true;
    reportWriteFailure("[DATABASE] SQL error: ", sqlite3_errmsg(db));
    return false;
}

bool Database::insertTimeline(int step, int64_t time, int current_file_id, int current_line,
                              int64_t signal_id, int64_t signal_val) {
    if (timelineRowRefersToNothing(current_file_id, current_line, signal_id)) {
        reportWriteFailure("[DATABASE] insertTimeline: ", kKeyFailure);
        return false;
    }
    Statement stmt(keptBatchInsert("timeline", kTimelineColumns, 6, 1));
    if (stmt.ok())
        bindTimelineRow(stmt, 0, step, time, current_file_id, current_line, signal_id,
                        signal_val);
    return finishInsert(stmt.get(), "[DATABASE] insertTimeline: ");
}

int Database::insertTimelineRows(int step, int64_t time, int current_file_id, int current_line,
                                 const std::vector<TimelineRow>& rows) {
    return insertInBatches(
        rows.size(),
        [&](size_t first, size_t count) {
            for (size_t i = first; i < first + count; ++i)
                if (timelineRowRefersToNothing(current_file_id, current_line, rows[i].signal_id))
                    return false;
            Statement stmt(keptTimelineBatch(count));
            if (!stmt.ok())
                return false;
            // The step's own values are bound once, for every row.
            bindTimelineRow(stmt, 0, step, time, current_file_id, current_line,
                            rows[first].signal_id, rows[first].value);
            for (size_t i = 1; i < count; ++i)
                bindSignalValue(stmt, static_cast<int>(5 + 2 * i), rows[first + i].signal_id,
                                rows[first + i].value);
            return stmt.step() == SQLITE_DONE;
        },
        [&](size_t i) {
            return insertTimeline(step, time, current_file_id, current_line, rows[i].signal_id,
                                  rows[i].value);
        });
}

bool Database::insertTimeline(int step, int64_t time, int current_file_id, int current_line,
                              const std::string& sig_name, int64_t signal_val) {
    int64_t signal_id = -1;
    Statement lookup(keptStatement("SELECT signal_id FROM signals WHERE name = ?;"));
    if (lookup.ok()) {
        lookup.text(1, sig_name);
        if (lookup.step() == SQLITE_ROW)
            signal_id = lookup.integerAt(0);
    }
    return insertTimeline(step, time, current_file_id, current_line, signal_id, signal_val);
}

bool Database::insertQueueState(int step, const std::string& type, int line, int file_id,
                                const std::string& instance_path, int64_t when_line) {
    if (queueRowRefersToNothing(file_id, instance_path)) {
        reportWriteFailure("[DATABASE] insertQueueState: ", kKeyFailure);
        return false;
    }
    Statement stmt(keptBatchInsert("queuestate", kQueueColumns, 6, 1));
    if (stmt.ok())
        bindQueueRow(stmt, 0, step, type, line, file_id, instance_path, when_line);
    return finishInsert(stmt.get(), "[DATABASE] insertQueueState: ");
}

int Database::insertQueueRows(int step, const std::vector<QueueRow>& rows) {
    return insertInBatches(
        rows.size(),
        [&](size_t first, size_t count) {
            for (size_t i = first; i < first + count; ++i)
                if (queueRowRefersToNothing(rows[i].file_id, rows[i].instance_path))
                    return false;
            Statement stmt(keptBatchInsert("queuestate", kQueueColumns, 6, count));
            if (!stmt.ok())
                return false;
            for (size_t i = 0; i < count; ++i) {
                const QueueRow& row = rows[first + i];
                bindQueueRow(stmt, static_cast<int>(6 * i), step, row.type, row.line,
                             row.file_id, row.instance_path, row.when);
            }
            return stmt.step() == SQLITE_DONE;
        },
        [&](size_t i) {
            const QueueRow& row = rows[i];
            return insertQueueState(step, row.type, row.line, row.file_id, row.instance_path,
                                    row.when);
        });
}

bool Database::insertPropertyTimeline(int step, const std::string& property_id,
                                      const std::string& state) {
    Statement stmt(
        keptStatement("INSERT INTO propertytimeline (step, property_id, state) VALUES (?, ?, ?);"));
    if (stmt.ok()) {
        stmt.integer(1, step);
        stmt.text(2, property_id);
        stmt.text(3, state);
    }
    return finishInsert(stmt.get(), "[DATABASE] Insert propertytimeline failed: ");
}

bool Database::insertAssertionEvent(const std::string& property_id, int64_t time,
                                    const std::string& result) {
    Statement stmt(
        keptStatement("INSERT INTO assertionevents (property_id, time, result) VALUES (?, ?, ?);"));
    if (stmt.ok()) {
        stmt.text(1, property_id);
        stmt.integer(2, time);
        stmt.text(3, result);
    }
    return finishInsert(stmt.get(), "[DATABASE] Insert assertionevent failed: ");
}

std::string Database::projectPath(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::current_path(ec) / path;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(absolute, ec);
    if (ec)
        canonical = absolute.lexically_normal();
    return canonical.string();
}

int Database::getFileID(const std::string& file) {
    Statement stmt(keptStatement("SELECT id FROM projectstructure WHERE file_path = ?"));
    if (!stmt.ok())
        return -1;
    stmt.text(1, file);
    if (stmt.step() != SQLITE_ROW)
        return -1;
    return sqlite3_column_int(stmt.get(), 0);
}

std::map<std::string, int> Database::getFileIDMap() {
    std::map<std::string, int> ids;
    Statement stmt(db, "SELECT id, file_path FROM projectstructure ;");
    if (!stmt.ok())
        return ids;
    while (stmt.step() == SQLITE_ROW) {
        auto text = sqlite3_column_text(stmt.get(), 1);
        ids[text ? reinterpret_cast<const char*>(text) : ""] = sqlite3_column_int(stmt.get(), 0);
    }
    return ids;
}
