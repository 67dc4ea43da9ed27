// The timeline members assemble their JSON outside SQLite; this pins their text
// to what one query built by SQLite's own JSON functions answers, over a run with
// awkward names, values, files and queue rows.
#include "database_statement.h"
#include "project_support.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>

using namespace wexla_test;

namespace {

using Values = std::vector<int64_t>;

std::string marks(size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i)
        text += i ? ", ?" : "?";
    return text;
}

// The whole answer as one SQLite query: steps, their signals by name and their
// queues by type, each aggregated by SQLite's JSON functions.
std::string referenceTimeline(sqlite3* db, const std::string& rows, const std::string& queue,
                              bool files, const Values& row_values, const Values& queue_values) {
    const std::string file_of = "(SELECT file_path FROM projectstructure WHERE id = ";
    const std::string and_rows = rows.empty() ? "" : " AND " + rows;
    std::string sql =
        "WITH qtypes AS MATERIALIZED (SELECT DISTINCT type FROM queuestate ORDER BY CASE type "
        "WHEN 'active' THEN 0 WHEN 'inactive' THEN 1 WHEN 'nba' THEN 2 WHEN 'monitor' THEN 3 "
        "WHEN 'observed' THEN 4 WHEN 'future' THEN 5 ELSE 6 END, type), "
        "stepvals AS (SELECT tl.step AS step, tl.time AS time, tl.current_file_id AS file_id, "
        "tl.current_line AS line FROM timeline tl JOIN signals s ON s.signal_id = tl.signal_id" +
        (rows.empty() ? "" : " WHERE " + rows) +
        " GROUP BY tl.step) SELECT json_group_array(json_object('step', step, "
        "'simulationTime', time, " + (files ? "'currentFile', file, " : "") +
        "'currentLine', line, 'signalState', json(signals), 'queues', json(queues))) FROM ("
        "SELECT sv.step AS step, sv.time AS time, " + file_of + "sv.file_id) AS file, "
        "sv.line AS line, (SELECT json_group_object(name, signal_val) FROM (SELECT s.name AS "
        "name, tl.signal_val AS signal_val FROM timeline tl JOIN signals s ON s.signal_id = "
        "tl.signal_id WHERE tl.step = sv.step" + and_rows + " ORDER BY s.name)) AS signals, "
        "CASE WHEN EXISTS (SELECT 1 FROM qtypes) THEN (SELECT json_group_object(qt.type, "
        "json(COALESCE((SELECT json_group_array(json_object(" +
        (files ? "'file', " + file_of + "q.file_id), " : "") +
        "'line', q.line, 'when', q.when_line)) FROM (SELECT q.file_id, q.line, q.when_line "
        "FROM queuestate q WHERE q.step = sv.step AND q.type = qt.type" +
        (queue.empty() ? "" : " AND " + queue) + " ORDER BY q.rowid) q), '[]'))) FROM qtypes "
        "qt) END AS queues FROM stepvals sv ORDER BY sv.step)";
    Statement stmt(db, sql);
    EXPECT_TRUE(stmt.ok()) << sqlite3_errmsg(db);
    Values values = row_values;
    values.insert(values.end(), row_values.begin(), row_values.end());
    values.insert(values.end(), queue_values.begin(), queue_values.end());
    for (size_t i = 0; i < values.size(); ++i)
        stmt.integer(static_cast<int>(i + 1), values[i]);
    return stmt.step() == SQLITE_ROW && !stmt.isNull(0) ? stmt.textAt(0) : "[]";
}

class TimelineTest : public ProjectTest {
protected:
    // 300 instances (so that listing them all passes every size limit of the
    // readers), awkward signal names, 60 steps of random rows over four files
    // (one unknown), values of every storage class, and queue rows of known and
    // unknown types.
    void addRandomRun() {
        std::mt19937 random(7);
        auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
        const std::string a = dir.file("a.sv"), b = dir.file("b\"\\\t\x01\xc3\xa9.sv");
        db().insertProjectStructure({a, b});
        db().insertModule(1, "top", a, 1, 9);
        db().insertInstance(1, "top", a, 1, 9, "top", -1, "top", true);
        for (int i = 2; i <= kInstances; ++i)
            db().insertInstance(i, "u" + std::to_string(i), a, i, i, "top", 1,
                                "top.u" + std::to_string(i), false);
        std::vector<std::string> names = {"clk", "a", "A", "a.b", "a\x01", "q\"\\",
                                          "\xc3\xa9t\xc3\xa9", "z\x7f", "u2.n\n", "u3.\t"};
        for (int i = 0; i < 290; ++i)
            names.push_back("sig." + std::to_string(i * 37 % 290));
        // Ids from 1 up, and a few far from them or below 0.
        auto id = [](size_t i) {
            const int n = static_cast<int>(i);
            return i % 50 == 7 ? 2000000000 - n : i % 50 == 9 ? -n : n + 1;
        };
        for (size_t i = 0; i < names.size(); ++i)
            db().insertSignal(names[i], id(i), i % 2 ? a : b, 3, 8, 1, 0, "reg", "top",
                              static_cast<int>(i % kInstances) + 1);

        db().exec_sql("PRAGMA foreign_keys = OFF;");  // rows naming no file as well
        const char* types[] = {"active", "nba", "future", "monitor", "observed", "zz\"top"};
        int64_t time = 0;
        for (int step = 0; step < 60; ++step) {
            time += pick(3) == 0 ? 0 : pick(1000) * 1000003;
            const int file = pick(4);  // 1, 2, unknown 9, or no line
            const int line = file == 3 ? -1 : pick(50);
            for (size_t i = 0; i < names.size(); ++i)
                if (pick(3) == 0)
                    db().insertTimeline(step, time, file == 2 ? 9 : file + 1, line, names[i],
                                        static_cast<int64_t>(random()) * (pick(2) ? -1 : 1) *
                                            (int64_t{1} << pick(32)));
            for (int n = pick(40); n > 0; --n)
                db().insertQueueState(step, types[pick(6)], pick(40), pick(3) + 1,
                                      pick(9) ? "top.u" + std::to_string(pick(kInstances) + 1)
                                              : "",
                                      pick(3) ? time + pick(100) : -1);
        }
        db().exec_sql("UPDATE timeline SET signal_val = 'text \"' WHERE rowid % 17 = 0;"
                      "UPDATE timeline SET signal_val = 0.5 WHERE rowid % 19 = 0;"
                      "PRAGMA foreign_keys = ON;");
        last_time = time;
    }

    std::string ref(const std::string& rows, const std::string& queue, bool files,
                    const Values& row_values = {}, const Values& queue_values = {}) {
        return referenceTimeline(db().handle(), rows, queue, files, row_values, queue_values);
    }

    static constexpr int kInstances = 300;
    int64_t last_time = 0;
};

TEST_F(TimelineTest, EveryMemberAnswersAsSqlitesJsonFunctionsWould) {
    addRandomRun();
    const std::string all = db().getTimeline();
    EXPECT_EQ(all, ref("", "", true));
    for (const char* awkward : {R"("text \"")", ":0.5", R"("zz\"top":[{)", R"("a\u0001":)",
                                R"(\t\u0001é.sv")", R"("when":null)",
                                R"("currentFile":null,"currentLine":null)"})
        EXPECT_NE(all.find(awkward), std::string::npos) << awkward;
    EXPECT_TRUE(std::regex_search(all, std::regex(R"("currentFile":null,"currentLine":[0-9])")));
    for (int step : {-1, 0, 1, 17, 59, 60}) {
        const std::string n = std::to_string(step);
        EXPECT_EQ(db().getTimelineStep(step), ref("tl.step = " + n, "q.step = " + n, false))
            << step;
    }
    const std::string path_of = "(SELECT instance_path FROM instances WHERE instance_id = ?)";
    for (int id : {1, 2, 4, 377})
        EXPECT_EQ(db().getTimelineForInstance(id),
                  ref("s.instance_id = ?", "q.instance_path = " + path_of, false, {id}, {id}))
            << id;

    std::vector<std::vector<int>> lists = {{}, {1}, {3, 5}, {1, 2, 3, 4, 5, 6}, {}, {}};
    for (int id = 100; id > 0; --id)  // more ids than are looked up one by one
        lists[4].push_back(id);
    for (int id = 1; id <= kInstances + 5; ++id)  // more signals and paths than SQLite picks
        lists[5].push_back(id);
    const std::vector<std::pair<int64_t, int64_t>> windows = {
        {0, last_time}, {last_time / 3, last_time / 2}, {-5, 0}, {last_time, last_time}, {9, 3}};
    for (const auto& ids : lists) {
        const Values v(ids.begin(), ids.end());
        const std::string in = "s.instance_id IN (" + marks(ids.size()) + ")";
        const std::string paths =
            "q.instance_path IN (SELECT instance_path FROM instances WHERE instance_id IN (" +
            marks(ids.size()) + "))";
        for (const auto& [t0, t1] : windows) {
            Values rows = v;
            rows.insert(rows.end(), {t0, t1});
            EXPECT_EQ(db().getTimelineWindow(t0, t1, ids),
                      ref(in + " AND tl.time BETWEEN ? AND ?", paths, true, rows, v))
                << ids.size() << " ids, " << t0 << ".." << t1;
        }
        for (int step : {0, 30, 59, 61}) {
            Values with_step = v;
            with_step.push_back(step);
            EXPECT_EQ(db().getTimelineForInstanceListByStep(ids, step),
                      ref(in + " AND tl.step = ?", paths + " AND q.step = ?", true, with_step,
                          with_step))
                << ids.size() << " ids, step " << step;
        }
    }

    db().purge("queuestate");  // no queue row at all: every step's queues are null
    EXPECT_EQ(db().getTimeline(), ref("", "", true));
    EXPECT_NE(db().getTimeline().find("\"queues\":null"), std::string::npos);
}

} // namespace

namespace {

// The readers keep the signals table between calls; any change of it, or a
// move to another file, is seen by the next call.
TEST_F(TimelineTest, SignalChangesReachTheNextAnswer) {
    addRandomRun();
    const std::string before = db().getTimelineStep(5);
    db().exec_sql("UPDATE signals SET name = 'renamed' WHERE name = 'clk';");
    const std::string renamed = db().getTimelineStep(5);
    EXPECT_EQ(renamed, ref("tl.step = 5", "q.step = 5", false));
    EXPECT_NE(renamed, before);

    // A table of the same rows made again: no count of changes tells it apart
    // from the old one, the schema's version does.
    db().exec_sql("PRAGMA foreign_keys = OFF; CREATE TABLE kept AS SELECT name, signal_id, "
                  "CASE instance_id WHEN 1 THEN 2 ELSE instance_id END AS instance_id "
                  "FROM signals; DROP TABLE signals; ALTER TABLE kept RENAME TO signals;"
                  "PRAGMA foreign_keys = ON;");
    EXPECT_EQ(db().getTimelineForInstance(1), "[]");
    EXPECT_NE(db().getTimelineForInstance(2), "[]");

    Database::init(dir.file("other.db"));
    EXPECT_EQ(db().getTimelineStep(5), "[]");
}

} // namespace
