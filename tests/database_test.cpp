#include "project_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

using namespace wexla_test;

namespace {

class DatabaseTest : public ProjectTest {
protected:
    // The top design and its signal "clk" (id 1), for rows that need them.
    int addDesign() {
        const int file_id = addTopDesign(source);
        db().insertSignal("clk", 1, source, 2, 1, 0, 1, "wire", "top", 1);
        return file_id;
    }

    std::string source = dir.file("top.sv");
};

// A creation that failed is tried again by the next instance().
TEST(DatabaseLifecycle, CreationNeedsAPathThatOpens) {
    SKIP_UNLESS_FIRST_IN_PROCESS();
    auto creation = [] {
        try {
            Database::instance();
            return std::string("created");
        } catch (const std::runtime_error& e) {
            return std::string(e.what());
        }
    };
    EXPECT_EQ(creation(), "Database::init(path) must be called before Database::instance()");
    Database::init("/proc/no-such-dir/x.db");
    EXPECT_EQ(creation(), "failed to open/create database file: /proc/no-such-dir/x.db");

    TempDir dir;
    Database::init(dir.file("a.db"));
    EXPECT_EQ(stderrOf([&] { EXPECT_EQ(creation(), "created"); }), "[init database]\n");
    EXPECT_EQ(std::string(Database::instance().get_path()), dir.file("a.db"));
    EXPECT_TRUE(std::filesystem::exists(dir.file("a.db")));
}

namespace {

// Runs `sql` on a file of its own connection.
void writeDatabaseFile(const std::string& path, const std::string& sql) {
    sqlite3* conn = nullptr;
    sqlite3_open(path.c_str(), &conn);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(conn, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
        << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(conn);
}

// A project file an earlier run of the engine left.
const char* const kEarlierProject =
    "CREATE TABLE projectstate (default_working_hierarchy TEXT, extra TEXT);"
    "CREATE TABLE projectstructure (id INTEGER PRIMARY KEY, file_path TEXT);"
    "CREATE TABLE timeline (step INTEGER, time INTEGER, extra TEXT);"
    "INSERT INTO timeline VALUES (1, 2, 'x');";

} // namespace

// What a host added to a project file goes with the rest, whatever it is
// called: a name is only ever a name, never SQL that runs.
TEST(DatabaseLifecycle, StartsEmptyWhateverTheProjectFileHeld) {
    TempDir dir;
    const std::string old_file = dir.file("old.db");
    const std::string attached = dir.file("attached.db");
    writeDatabaseFile(old_file, std::string(kEarlierProject) +
                                    "CREATE TABLE stray (a);"
                                    "CREATE TABLE \"with space\" (a);"
                                    "CREATE TABLE \"x; ATTACH '" + attached + "' AS e; --\" (a);"
                                    "CREATE TABLE \"q\"\"uote\" (a);"
                                    "CREATE VIEW v AS SELECT 1;"
                                    "CREATE VIEW \"v w\" AS SELECT 2;");

    Database::init(old_file);
    Database& db = Database::instance();
    EXPECT_EQ(db.getRecordCount("timeline"), 0);
    auto objects = queryRows(db.handle(), "SELECT name FROM sqlite_master WHERE type IN "
                                          "('table', 'view') AND name NOT LIKE 'sqlite_%' "
                                          "ORDER BY name");
    EXPECT_EQ(objects, (std::vector<std::string>{"assertionevents", "instances", "modules",
                                                 "projectstate", "projectstructure", "properties",
                                                 "propertytimeline", "queuestate", "signals",
                                                 "timeline"}));
    EXPECT_FALSE(std::filesystem::exists(attached));
    // The new timeline has the schema's columns, not the file's.
    EXPECT_TRUE(db.exec_sql("SELECT signal_id, signal_val FROM timeline;"));
    // Names with quotes are counted and purged as names.
    EXPECT_EQ(db.getRecordCount("x\"; DROP TABLE signals; --"), 0);
    EXPECT_FALSE(db.purge("signals; DROP TABLE timeline"));
    EXPECT_EQ(db.getRecordCount("timeline"), 0);
    EXPECT_TRUE(db.exec_sql("SELECT signal_id FROM timeline;"));
}

// Another program's database, a damaged one, a file that is no database, a
// folder or memory are refused naming the path, and nothing is written; an
// empty file or database is taken.
TEST(DatabaseLifecycle, RefusesFilesThatAreNoProjectOfItsOwn) {
    SKIP_UNLESS_FIRST_IN_PROCESS();
    TempDir dir;
    const std::string other = dir.file("accounts.db");
    writeDatabaseFile(other, "CREATE TABLE accounts (name TEXT); INSERT INTO accounts "
                             "VALUES ('kept');");
    const std::string text = dir.file("notes.db");
    writeFile(text, "these are notes, not a database\n");
    const std::string damaged = dir.file("damaged.db");
    writeDatabaseFile(damaged, std::string(kEarlierProject) + "CREATE TABLE big (a TEXT);"
                               "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                               "WHERE i < 400) INSERT INTO big SELECT hex(randomblob(100)) FROM n;");
    {
        std::string bytes = readFile(damaged);
        for (size_t at = 8192; at < bytes.size(); at += 97)
            bytes[at] = '\xab';
        writeFile(damaged, bytes);
    }
    const auto refusal = [](const std::string& path) {
        const auto why = Database::refusalOf(path);
        return why ? *why : std::string("taken");
    };
    const auto modified = [](const std::string& path) {
        return std::filesystem::last_write_time(path);
    };
    const auto before = std::make_tuple(readFile(other), readFile(text), readFile(damaged));

    EXPECT_EQ(refusal(other), "the project database " + other +
                                  " holds other tables (accounts) and is no project database of "
                                  "this engine: it is left as it is; choose another file");
    EXPECT_EQ(refusal(text), "the project database " + text +
                                 " is not an SQLite database: it is left as it is; choose another "
                                 "file");
    EXPECT_TRUE(refusal(damaged).starts_with("the project database " + damaged + " is damaged ("))
        << refusal(damaged);
    EXPECT_EQ(refusal(dir.path().string()),
              "the project database " + dir.path().string() + " is a folder, not a file");
    EXPECT_EQ(refusal(":memory:"), "the project database :memory: would live in memory only and "
                                   "never be saved: give a file path");
    EXPECT_EQ(refusal("file::memory:"),
              "the project database file::memory: would be read as an SQLite URI: give a plain "
              "file path (./file::memory: for a file of that name)");

    // Refused at creation and at a move to another file: the project stays.
    Database::init(other);
    EXPECT_THROW(Database::instance(), std::runtime_error);
    Database::init(dir.file("project.db"));
    Database::instance().insertProjectStructure({dir.file("top.sv")});
    const auto written = modified(dir.file("project.db"));
    for (const std::string& path : {other, text, damaged, std::string(":memory:")}) {
        try {
            Database::init(path);
            ADD_FAILURE() << path << " was taken";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(e.what(), refusal(path));
        }
        EXPECT_EQ(std::string(Database::instance().get_path()), dir.file("project.db"));
    }
    EXPECT_EQ(Database::instance().getRecordCount("projectstructure"), 1);
    EXPECT_EQ(modified(dir.file("project.db")), written);
    EXPECT_EQ(std::make_tuple(readFile(other), readFile(text), readFile(damaged)), before);

    // Empty files, and databases without tables, are fresh projects.
    writeFile(dir.file("empty.db"), "");
    writeDatabaseFile(dir.file("bare.db"), "PRAGMA user_version = 3;");
    EXPECT_EQ(refusal(dir.file("empty.db")), "taken");
    EXPECT_EQ(refusal(dir.file("bare.db")), "taken");
    EXPECT_EQ(refusal(dir.file("absent.db")), "taken");
}

TEST_F(DatabaseTest, SaveWritesTheFileAndANewPathStartsAfreshThere) {
    const std::string first = dir.file("project.db");
    ASSERT_TRUE(db().insertTimeline(0, 5, addDesign(), 3, "clk", 1));
    ASSERT_TRUE(db().save());
    EXPECT_EQ(queryFile(first, "SELECT step, time, signal_val FROM timeline"),
              std::vector<std::string>{"0|5|1"});

    Database::init(first);  // same path: nothing happens
    EXPECT_EQ(db().getRecordCount("modules"), 1);

    // Another path saves the project first: rows added since the save are kept.
    db().insertModule(2, "later", source, 1, 2);
    const std::string second = dir.file("second.db");
    Database::init(second);
    EXPECT_EQ(std::string(db().get_path()), second);
    EXPECT_EQ(db().getRecordCount("modules"), 0);
    EXPECT_EQ(db().getRecordCount("projectstructure"), 0);
    EXPECT_EQ(queryFile(first, "SELECT name FROM modules ORDER BY module_id"),
              (std::vector<std::string>{"top", "later"}));

    // The per-step inserts work on the new file's tables.
    ASSERT_TRUE(db().insertTimeline(0, 7, addDesign(), 3, "clk", 2));
    ASSERT_TRUE(db().save());
    EXPECT_EQ(queryFile(second, "SELECT time, signal_val FROM timeline"),
              std::vector<std::string>{"7|2"});
    EXPECT_EQ(queryFile(first, "SELECT COUNT(*) FROM modules"), std::vector<std::string>{"2"});
}

TEST_F(DatabaseTest, UnopenableOrVanishedPaths) {
    addDesign();
    EXPECT_THROW(Database::init("/proc/no-such-dir/x.db"), std::runtime_error);
    EXPECT_EQ(std::string(db().get_path()), dir.file("project.db"));
    EXPECT_EQ(db().getRecordCount("modules"), 1);

    std::filesystem::create_directories(dir.path() / "gone");
    Database::init(dir.file("gone/project.db"));
    std::filesystem::remove_all(dir.path() / "gone");
    EXPECT_EQ(stderrOf([&] { EXPECT_FALSE(db().save()); }),
              "[DATABASE] save failed: unable to open database file\n");

    // A save is checked against the file: one that does not hold what the
    // project holds is no success.
    Database::init(dir.file("checked.db"));
    addDesign();
    ASSERT_TRUE(db().save());
    std::string why;
    EXPECT_TRUE(db().fileHoldsProject(&why)) << why;
    db().insertModule(2, "later", source, 1, 2);
    EXPECT_FALSE(db().fileHoldsProject(&why));
    EXPECT_EQ(why, "the file holds 1 rows of modules where 2 were saved");
    writeFile(dir.file("checked.db"), "gone");
    EXPECT_FALSE(db().fileHoldsProject(&why));
    EXPECT_TRUE(why.starts_with("the file cannot be checked: ")) << why;
}

// Parents may be named before their children; a purge that would leave
// rows pointing at deleted ones is undone whole.
TEST_F(DatabaseTest, PurgeTogetherEmptiesChildrenFirstOrNothing) {
    const int file_id = addDesign();
    ASSERT_TRUE(db().insertTimeline(0, 5, file_id, 3, "clk", 1));
    ASSERT_TRUE(db().insertQueueState(0, "active", 3, file_id, "top", 5));
    std::string log = stderrOf([&] { EXPECT_FALSE(db().purgeTogether({"signals", "modules"})); });
    EXPECT_NE(log.find("[DATABASE] purge left rows that refer to deleted rows; undone\n"),
              std::string::npos);
    EXPECT_EQ(db().getRecordCount("signals"), 1);
    EXPECT_EQ(db().getRecordCount("modules"), 1);
    EXPECT_EQ(db().getRecordCount("timeline"), 1);

    log = stderrOf([&] {
        EXPECT_TRUE(db().purgeTogether({"modules", "instances", "signals", "timeline", "queuestate"}));
    });
    EXPECT_EQ(log.substr(0, log.find('\n')), "[DATABASE] purge(timeline) deleted 1 rows");
    for (const char* table : {"modules", "instances", "signals", "timeline", "queuestate"})
        EXPECT_EQ(db().getRecordCount(table), 0) << table;
    // Keys are checked again afterwards.
    EXPECT_FALSE(stderrOf([&] { db().insertTimeline(1, 5, file_id, 3, "clk", 1); }).empty());
    EXPECT_FALSE(db().exec_sql("INSERT INTO signals VALUES ('x', 9, 1, '1', 1, 0, 0, 'wire', 'nomodule', 77);"));
}

TEST_F(DatabaseTest, PurgeCountAndRetrieval) {
    addDesign();
    EXPECT_EQ(stderrOf([&] {
                  EXPECT_TRUE(db().purge("signals"));
                  EXPECT_FALSE(db().purge("nosuchtable"));
              }),
              "[DATABASE] purge(signals) deleted 1 rows\n"
              "[DATABASE] purge(nosuchtable) FAILED: no such table: nosuchtable (rc=1)\n");
    EXPECT_EQ(db().getRecordCount("nosuchtable"), 0);
    EXPECT_EQ(db().getRecordCount("modules"), 1);

    EXPECT_EQ(db().getQueryResults("SELECT name FROM modules WHERE 0"), "");
    EXPECT_EQ(db().getQueryResults("SELECT NULL"), "");
    EXPECT_EQ(db().getQueryResults("SELECT json_array(1, 'a')"), "[1,\"a\"]");
    EXPECT_EQ(stderrOf([&] { EXPECT_EQ(db().getQueryResults("SELEKT 1"), ""); }),
              "Retrieval failed near \"SELEKT\": syntax error\n");
}

TEST_F(DatabaseTest, HostQueriesStopAtTheirTimeLimitAndSayWhyTheyFailed) {
    using std::chrono::milliseconds;
    // Counts forever: only the time limit ends it.
    const auto endless = db().runHostQuery(
        "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n) SELECT COUNT(*) FROM n",
        milliseconds(50));
    EXPECT_FALSE(endless.ok);
    EXPECT_EQ(endless.error, "the query ran longer than 50 ms and was interrupted; narrow it");
    // The limit goes with the query: the connection's own queries run as before.
    EXPECT_EQ(db().getQueryResults("SELECT COUNT(*) FROM (SELECT 1 UNION SELECT 2)"), "2");

    const auto wrong = db().runHostQuery("SELEKT 1", milliseconds(1000));
    EXPECT_EQ(std::make_pair(wrong.ok, wrong.error),
              std::make_pair(false, std::string("near \"SELEKT\": syntax error")));
    const auto none = db().runHostQuery("SELECT 1 WHERE 0", milliseconds(1000));
    EXPECT_EQ(std::make_pair(none.ok, none.text), std::make_pair(true, std::string()));
    EXPECT_EQ(db().runHostQuery("SELECT json_array(1, 'a')", milliseconds(1000)).text,
              "[1,\"a\"]");
}

TEST_F(DatabaseTest, ClearKeepsTheSourceListUnlessAsked) {
    addDesign();
    db().insertProjectState(100, 1000, 0, 10, "ns", "top");
    db().clear(false);
    EXPECT_EQ(db().getRecordCount("projectstructure"), 1);
    EXPECT_EQ(db().getRecordCount("modules"), 0);
    EXPECT_EQ(db().getRecordCount("projectstate"), 0);
    db().clear(true);
    EXPECT_EQ(db().getRecordCount("projectstructure"), 0);
}

TEST_F(DatabaseTest, InsertRulesForKeysParentsNullsAndDuplicates) {
    EXPECT_EQ(stderrOf([&] {
                  EXPECT_FALSE(db().insertSignal("a", 1, source, 1, 1, 0, 0, "wire", "nomodule", 1));
              }),
              "[DATABASE] Insert signal failed: FOREIGN KEY constraint failed\n");
    // Under OR IGNORE a missing parent still fails.
    EXPECT_EQ(stderrOf([&] { EXPECT_FALSE(db().insertModule(1, "m", "/no/such/file.sv", 1, 2)); }),
              "[DATABASE] Insert module failed: FOREIGN KEY constraint failed\n");
    EXPECT_FALSE(db().insertPropertyTimeline(0, "unknown", "PASS"));
    const int file_id = addDesign();
    // Parent id -1, or a top instance, stores no parent.
    EXPECT_TRUE(db().insertInstance(2, "a", source, 1, 2, "top", -1, "top.a", false));
    EXPECT_TRUE(db().insertInstance(3, "b", source, 1, 2, "top", 1, "top.b", true));
    EXPECT_TRUE(db().insertInstance(4, "c", source, 1, 2, "top", 1, "top.c", false));
    EXPECT_EQ(rows("SELECT instance_id, parent_id FROM instances ORDER BY instance_id"),
              (std::vector<std::string>{"1|NULL", "2|NULL", "3|NULL", "4|1"}));

    // A repeated module keeps its first row and still succeeds.
    EXPECT_TRUE(db().insertModule(9, "top", source, 5, 6));
    EXPECT_EQ(rows("SELECT module_id, start_line FROM modules"), std::vector<std::string>{"1|1"});

    // A negative line drops the file id too.
    EXPECT_TRUE(db().insertTimeline(0, 1, file_id, -1, "clk", 0));
    EXPECT_EQ(rows("SELECT current_file_id, current_line FROM timeline"),
              std::vector<std::string>{"NULL|NULL"});
    EXPECT_EQ(stderrOf([&] { EXPECT_FALSE(db().insertTimeline(1, 1, file_id, 3, "nosignal", 0)); }),
              "[DATABASE] insertTimeline: NOT NULL constraint failed: timeline.signal_id\n");

    EXPECT_TRUE(db().insertQueueState(0, "active", 3, file_id, "", -1));
    EXPECT_EQ(rows("SELECT instance_path, when_line FROM queuestate"),
              std::vector<std::string>{"NULL|NULL"});
    EXPECT_EQ(stderrOf([&] { EXPECT_FALSE(db().insertQueueState(0, "active", 3, -1, "", 0)); }),
              "[DATABASE] insertQueueState: FOREIGN KEY constraint failed\n");

    // Rows of a step go in several to a statement; a bad one loses only itself,
    // said as a row of its own would say it.
    db().exec_sql("DELETE FROM timeline; DELETE FROM queuestate;");
    std::vector<Database::TimelineRow> signal_rows(70, {1, 5});
    signal_rows[40].signal_id = 99;
    std::vector<Database::QueueRow> queue_rows(40, {"nba", 3, file_id, "", 7});
    queue_rows[3].file_id = -1;
    EXPECT_EQ(stderrOf([&] {
                  EXPECT_EQ(db().insertTimelineRows(2, 9, file_id, 4, signal_rows), 69);
                  EXPECT_EQ(db().insertQueueRows(2, queue_rows), 39);
              }),
              "[DATABASE] insertTimeline: FOREIGN KEY constraint failed\n"
              "[DATABASE] insertQueueState: FOREIGN KEY constraint failed\n");
    EXPECT_EQ(rows("SELECT COUNT(*), MIN(rowid), MAX(rowid), SUM(signal_val) FROM timeline"),
              std::vector<std::string>{"69|1|69|345"});
    EXPECT_EQ(rows("SELECT COUNT(*), SUM(when_line) FROM queuestate WHERE line = 3"),
              std::vector<std::string>{"39|273"});

    // The signal's line column holds the decimal text.
    EXPECT_EQ(rows("SELECT line, typeof(line) FROM signals"), std::vector<std::string>{"2|text"});
    EXPECT_EQ(stderrOf([&] {
                  EXPECT_FALSE(db().insertSignal("clk2", 1, source, 2, 1, 0, 1, "wire", "top", 1));
              }),
              "[DATABASE] Insert signal failed: UNIQUE constraint failed: signals.signal_id\n");

    // A design's signal rows go in many to a statement: in order, a bad one lost alone.
    std::vector<Database::SignalRow> signals;
    for (int id = 2; id < 42; ++id)
        signals.push_back({"s" + std::to_string(id), id, file_id, id, 8, 1, 0, "reg", "top", 1});
    signals[5].module = "nomodule";
    EXPECT_EQ(stderrOf([&] { EXPECT_EQ(db().insertSignalRows(signals), 39); }),
              "[DATABASE] Insert signal failed: FOREIGN KEY constraint failed\n");
    EXPECT_EQ(rows("SELECT COUNT(*), MIN(name), SUM(signal_id), SUM(rowid = signal_id) FROM "
                   "signals WHERE line = signal_id AND file_id = " + std::to_string(file_id)),
              std::vector<std::string>{"39|s10|853|39"});
}

// A run may check its rows' keys itself: every row fares as under SQLite's
// own checks, which come back on afterwards.
TEST_F(DatabaseTest, RunRowsCheckedHereFareAsUnderSQLite) {
    const int file_id = addDesign();
    ASSERT_TRUE(db().insertInstance(2, "a", source, 1, 2, "top", 1, "top.a", false));
    auto insertAll = [&] {
        std::vector<Database::TimelineRow> signal_rows(40, {1, 5});
        signal_rows[7].signal_id = 99;
        signal_rows[9].signal_id = -1;
        std::vector<Database::QueueRow> queue_rows(40, {"nba", 3, file_id, "top.a", 7});
        queue_rows[3].file_id = -1;
        queue_rows[5].instance_path = "top.nowhere";
        queue_rows[6].instance_path = "";
        std::string out = stderrOf([&] {
            db().insertTimelineRows(2, 9, file_id, 4, signal_rows);
            db().insertTimelineRows(3, 9, file_id + 7, 4, {{1, 1}});
            db().insertTimelineRows(4, 9, file_id + 7, -1, {{1, 2}});
            db().insertTimelineRows(5, 9, file_id, 4, {{1, 3}, {-1, 4}, {1, 5}});
            db().insertQueueRows(2, queue_rows);
        });
        for (const auto& row : rows("SELECT rowid, * FROM timeline"))
            out += row + "\n";
        for (const auto& row : rows("SELECT rowid, * FROM queuestate"))
            out += row + "\n";
        db().exec_sql("DELETE FROM timeline; DELETE FROM queuestate;");
        return out;
    };
    const std::string under_sqlite = insertAll();
    ASSERT_TRUE(db().checkRunKeysHere());
    EXPECT_EQ(rows("PRAGMA foreign_keys"), std::vector<std::string>{"0"});
    EXPECT_EQ(insertAll(), under_sqlite);
    db().checkKeysInSQLite();
    EXPECT_EQ(rows("PRAGMA foreign_keys"), std::vector<std::string>{"1"});
    EXPECT_EQ(insertAll(), under_sqlite);
    EXPECT_NE(under_sqlite.find("insertQueueState: FOREIGN KEY"), std::string::npos);
}

TEST_F(DatabaseTest, SourcePathsAreStoredAbsoluteAndCanonical) {
    EXPECT_TRUE(db().getFileIDMap().empty());
    std::filesystem::create_directories(dir.path() / "rtl");
    bool ok = true;
    std::string errors;
    {
        const wexla_test::WorkingDirectory inDir(dir.path());
        errors = stderrOf([&] { ok = db().insertProjectStructure({"rtl/../rtl/./a.sv", "rtl/a.sv"}); });
    }

    EXPECT_FALSE(ok);  // the second path is the first one again
    EXPECT_EQ(errors, "[DATABASE] insertProjectStructure: UNIQUE constraint failed: "
                      "projectstructure.file_path\n");
    const std::string stored =
        std::filesystem::weakly_canonical(dir.path() / "rtl" / "a.sv").string();
    EXPECT_EQ(db().getFileID("rtl/a.sv"), -1);
    EXPECT_EQ(db().getFileIDMap(), (std::map<std::string, int>{{stored, 1}}));
    EXPECT_TRUE(db().insertProjectStructure({}));
}

} // namespace
