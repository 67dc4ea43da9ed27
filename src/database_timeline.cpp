// The recorded timeline as JSON arrays of steps. Each member reads the rows its
// filter keeps once, in an order that uses the indexes, and writes the text here
// in the compact layout of SQLite's JSON functions, with values and strings
// rendered as those functions render them.
#include "database.h"
#include "database_statement.h"

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <iostream>
#include <map>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace {

using Values = std::vector<int64_t>;

std::string placeholders(size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i)
        text += i ? ", ?" : "?";
    return text;
}

Values toValues(const std::vector<int>& ids) {
    return Values(ids.begin(), ids.end());
}

// Which rows a member shows: the steps' timeline rows of the listed instances'
// signals (all signals when none are listed), within a time range or at a step,
// and the queue rows of the listed instances' paths at the steps shown.
struct TimelineFilter {
    std::optional<std::vector<int>> instances;
    std::optional<int64_t> step;
    std::optional<std::pair<int64_t, int64_t>> times;
    bool files = false;
};

// Up to this many, listed instance ids are looked up by index; beyond it, the
// table is read through and filtered here.
constexpr size_t kFewIds = 64;
// Up to this many shown signals or instance paths, SQLite drops the other rows
// itself, which costs far less than handing each row over; beyond it, most
// rows are shown anyway and an IN test over that many values costs more.
constexpr size_t kFewInQuery = 256;

// Why a timeline could not be read.
struct ReadFailure {
    bool prepare = false;  // a statement did not prepare; else a step failed
    std::string message;
};

// A string as SQLite's JSON functions quote it: quote and backslash escaped,
// control characters as their short escape or as \u00XX, other bytes as they are.
void appendJsonString(std::string& out, const std::string& text) {
    static const char kShort[32] = {0, 0, 0, 0, 0, 0, 0, 0, 'b', 't', 'n', 0, 'f', 'r', 0, 0,
                                    0, 0, 0, 0, 0, 0, 0, 0, 0,   0,   0,   0, 0,   0,   0, 0};
    out += '"';
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c <= 0x1f && kShort[c]) {
            out += '\\';
            out += kShort[c];
        } else if (c <= 0x1f) {
            out += "\\u00";
            out += static_cast<char>('0' + (c >> 4));
            out += "0123456789abcdef"[c & 0xf];
        } else {
            out += ch;
        }
    }
    out += '"';
}

class TimelineReader {
public:
    TimelineReader(sqlite3* db, const TimelineFilter& filter) : db_(db), f_(filter) {}

    std::optional<std::string> read() {
        if (!readFiles() || !readSignals() || !readRows() || !readQueueTypes() ||
            !readPaths() || !readQueues())
            return std::nullopt;
        return write();
    }
    const ReadFailure& failure() const { return failure_; }

private:
    struct Signal {
        std::string name;  // as stored, for the order
        std::string key;   // as written
        int rank = 0;      // place in name order; equal names share it
    };
    struct Value {
        int signal = 0;
        int64_t rowid = 0;
        int64_t number = 0;
        int text = -1;  // index into texts_ for a value that is no integer
    };
    struct StepEntry {
        std::string time;
        std::string file;
        std::string line;
        std::vector<Value> values;
        std::vector<std::string> queues;  // per queue type, the entries' text
    };

    bool prepare(Statement& stmt) {
        if (stmt.ok())
            return true;
        failure_ = {true, sqlite3_errmsg(db_)};
        return false;
    }
    bool finished(int rc) {
        if (rc == SQLITE_DONE)
            return true;
        failure_ = {false, sqlite3_errmsg(db_)};
        return false;
    }

    // One call per column: each column call takes the connection's mutex.
    static sqlite3_value* column(Statement& stmt, int index) {
        return sqlite3_column_value(stmt.get(), index);
    }
    static int64_t integer(sqlite3_value* value) { return sqlite3_value_int64(value); }
    static std::string text(sqlite3_value* value) {
        auto bytes = reinterpret_cast<const char*>(sqlite3_value_text(value));
        return bytes ? std::string(bytes, static_cast<size_t>(sqlite3_value_bytes(value)))
                     : std::string();
    }

    // SQLite's own rendering of a value, for the rare ones that are no integer.
    std::string quoted(sqlite3_value* value, bool as_text) {
        Statement quote(db_, as_text ? "SELECT json_quote(CAST(? AS TEXT));"
                                     : "SELECT json_quote(?);");
        if (!quote.ok())
            return "null";
        sqlite3_bind_value(quote.get(), 1, value);
        return quote.step() == SQLITE_ROW ? quote.textAt(0) : "null";
    }

    // The JSON text SQLite writes for a value inside its JSON functions.
    std::string json(sqlite3_value* value) {
        switch (sqlite3_value_type(value)) {
        case SQLITE_INTEGER: return std::to_string(sqlite3_value_int64(value));
        case SQLITE_NULL: return "null";
        default: return quoted(value, false);
        }
    }

    std::string fileOf(sqlite3_value* id) const {
        if (sqlite3_value_type(id) != SQLITE_INTEGER)
            return "null";
        auto it = files_.find(sqlite3_value_int64(id));
        return it == files_.end() ? "null" : it->second;
    }

    bool listed(sqlite3_value* instance) const {
        return sqlite3_value_type(instance) == SQLITE_INTEGER &&
               listed_.count(sqlite3_value_int64(instance));
    }

    // Runs a statement to its end, handing each row to `row`.
    template <typename Row>
    bool each(Statement& stmt, Row&& row) {
        int rc;
        while ((rc = stmt.step()) == SQLITE_ROW)
            row();
        return finished(rc);
    }

    bool readFiles() {
        if (!f_.files)
            return true;
        Statement stmt(db_, "SELECT id, json_quote(file_path) FROM projectstructure;");
        return prepare(stmt) && each(stmt, [&] {
                   files_[integer(column(stmt, 0))] = text(column(stmt, 1));
               });
    }

    // The signals whose rows are shown: those of the listed instances, or all.
    bool readSignals() {
        const bool by_index = f_.instances && f_.instances->size() <= kFewIds;
        std::string sql = "SELECT signal_id, name, instance_id FROM signals";
        if (by_index)
            sql += " WHERE instance_id IN (" + placeholders(f_.instances->size()) + ")";
        Statement stmt(db_, sql + ";");
        if (!prepare(stmt))
            return false;
        if (f_.instances) {
            listed_.insert(f_.instances->begin(), f_.instances->end());
            if (by_index)
                bind(stmt, toValues(*f_.instances));
        }
        return each(stmt, [&] {
            if (f_.instances && !by_index && !listed(column(stmt, 2)))
                return;
            sqlite3_value* name = column(stmt, 1);
            Signal signal;
            signal.name = text(name);
            if (sqlite3_value_type(name) == SQLITE_TEXT)
                appendJsonString(signal.key, signal.name);
            else
                signal.key = quoted(name, true);
            signal_index_.emplace(integer(column(stmt, 0)), static_cast<int>(signals_.size()));
            signal_ids_.push_back(integer(column(stmt, 0)));
            signals_.push_back(std::move(signal));
        });
    }

    void addRow(Statement& stmt, int signal) {
        const int64_t number = integer(column(stmt, 0));
        if (!step_ || number != step_number_) {
            auto [it, first] = steps_.try_emplace(number);
            step_ = &it->second;
            step_number_ = number;
            if (first) {
                step_->time = json(column(stmt, 1));
                step_->file = f_.files ? fileOf(column(stmt, 2)) : "";
                step_->line = json(column(stmt, 3));
            }
        }
        Value value;
        value.signal = signal;
        value.rowid = integer(column(stmt, 6));
        sqlite3_value* stored = column(stmt, 5);
        if (sqlite3_value_type(stored) == SQLITE_INTEGER) {
            value.number = sqlite3_value_int64(stored);
        } else {
            value.text = static_cast<int>(texts_.size());
            texts_.push_back(json(stored));
        }
        step_->values.push_back(value);
    }

    // The rows of the shown signals, read by step, by time or all through the
    // indexes (the time index holds every column read) and kept here.
    bool readRows() {
        std::string where;
        if (f_.step)
            where = " WHERE step = ?";
        else if (f_.times)
            where = " WHERE time BETWEEN ? AND ?";
        const bool few = f_.instances && signal_ids_.size() <= kFewInQuery;
        if (few)
            where += (where.empty() ? " WHERE" : " AND") + std::string(" signal_id IN (") +
                     placeholders(signal_ids_.size()) + ")";
        Statement stmt(db_, "SELECT step, time, current_file_id, current_line, signal_id, "
                            "signal_val, rowid FROM timeline" + where + ";");
        if (!prepare(stmt))
            return false;
        int next = 1;
        if (f_.step) {
            stmt.integer(next++, *f_.step);
        } else if (f_.times) {
            stmt.integer(next++, f_.times->first);
            stmt.integer(next++, f_.times->second);
        }
        if (few)
            for (int64_t id : signal_ids_)
                stmt.integer(next++, id);
        return each(stmt, [&] {
            sqlite3_value* id = column(stmt, 4);
            if (sqlite3_value_type(id) != SQLITE_INTEGER)
                return;
            auto it = signal_index_.find(sqlite3_value_int64(id));
            if (it != signal_index_.end())
                addRow(stmt, it->second);
        });
    }

    // Every queue type present anywhere in the table, in region order; found by
    // stepping through the type index, not by scanning every queue row.
    bool readQueueTypes() {
        Statement stmt(
            db_,
            "WITH RECURSIVE qseen(type) AS (SELECT MIN(type) FROM queuestate UNION ALL SELECT "
            "(SELECT MIN(type) FROM queuestate WHERE type > qseen.type) FROM qseen WHERE "
            "qseen.type IS NOT NULL) SELECT type, json_quote(CAST(type AS TEXT)) FROM qseen "
            "WHERE type IS NOT NULL ORDER BY CASE type WHEN 'active' THEN 0 WHEN 'inactive' THEN "
            "1 WHEN 'nba' THEN 2 WHEN 'monitor' THEN 3 WHEN 'observed' THEN 4 WHEN 'future' "
            "THEN 5 ELSE 6 END, type;");
        if (!prepare(stmt) || !each(stmt, [&] {
                type_index_.emplace(text(column(stmt, 0)), types_.size());
                types_.push_back(text(column(stmt, 0)));
                type_keys_.push_back(text(column(stmt, 1)));
            }))
            return false;
        for (auto& [number, step] : steps_)
            step.queues.resize(types_.size());
        return true;
    }

    // The paths of the listed instances, whose queue entries are shown.
    bool readPaths() {
        if (!f_.instances || steps_.empty() || types_.empty())
            return true;
        const bool by_index = f_.instances->size() <= kFewIds;
        std::string sql = "SELECT instance_path, instance_id FROM instances";
        if (by_index)
            sql += " WHERE instance_id IN (" + placeholders(f_.instances->size()) + ")";
        Statement stmt(db_, sql + ";");
        if (!prepare(stmt))
            return false;
        if (by_index)
            bind(stmt, toValues(*f_.instances));
        return each(stmt, [&] {
            sqlite3_value* path = column(stmt, 0);
            if (sqlite3_value_type(path) != SQLITE_NULL && (by_index || listed(column(stmt, 1))))
                paths_.insert(text(path));
        });
    }

    // The queue entries of the steps shown, by type, in the order recorded.
    bool readQueues() {
        if (steps_.empty() || types_.empty() || (f_.instances && paths_.empty()))
            return true;
        const bool few = f_.instances && paths_.size() <= kFewInQuery;
        Statement stmt(db_, "SELECT type, step, file_id, line, when_line, instance_path FROM "
                            "queuestate WHERE type IN (" + placeholders(types_.size()) +
                                ") AND step BETWEEN ? AND ?" +
                                (few ? " AND instance_path IN (" + placeholders(paths_.size()) +
                                           ")"
                                     : "") +
                                " ORDER BY type, step, rowid;");
        if (!prepare(stmt))
            return false;
        int next = 1;
        for (const std::string& type : types_)
            stmt.text(next++, type);
        stmt.integer(next++, steps_.begin()->first);
        stmt.integer(next++, steps_.rbegin()->first);
        if (few)
            for (const std::string& path : paths_)
                stmt.text(next++, path);
        return each(stmt, [&] {
            auto step = steps_.find(integer(column(stmt, 1)));
            if (step == steps_.end())
                return;
            if (f_.instances) {
                sqlite3_value* path = column(stmt, 5);
                if (sqlite3_value_type(path) == SQLITE_NULL || !paths_.count(text(path)))
                    return;
            }
            auto type = type_index_.find(text(column(stmt, 0)));
            if (type == type_index_.end())
                return;
            std::string& entries = step->second.queues[type->second];
            entries += entries.empty() ? "{" : ",{";
            if (f_.files)
                entries += "\"file\":" + fileOf(column(stmt, 2)) + ",";
            entries += "\"line\":" + json(column(stmt, 3)) + ",\"when\":" +
                       json(column(stmt, 4)) + "}";
        });
    }

    void rankSignals() {
        std::vector<int> order(signals_.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = static_cast<int>(i);
        std::sort(order.begin(), order.end(),
                  [&](int a, int b) { return signals_[a].name < signals_[b].name; });
        for (size_t i = 0; i < order.size(); ++i) {
            const bool same = i > 0 && signals_[order[i]].name == signals_[order[i - 1]].name;
            signals_[order[i]].rank = same ? signals_[order[i - 1]].rank : static_cast<int>(i);
        }
    }

    void writeSignals(std::string& out, std::vector<Value>& values) const {
        std::sort(values.begin(), values.end(), [&](const Value& a, const Value& b) {
            const int ra = signals_[a.signal].rank;
            const int rb = signals_[b.signal].rank;
            return ra != rb ? ra < rb : a.rowid < b.rowid;
        });
        char number[24];
        for (size_t i = 0; i < values.size(); ++i) {
            if (i)
                out += ',';
            out += signals_[values[i].signal].key;
            out += ':';
            if (values[i].text >= 0) {
                out += texts_[values[i].text];
            } else {
                auto end = std::to_chars(number, number + sizeof number, values[i].number).ptr;
                out.append(number, end);
            }
        }
    }

    std::string write() {
        rankSignals();
        std::string out = "[";
        for (auto& [number, step] : steps_) {
            if (out.size() > 1)
                out += ',';
            out += "{\"step\":" + std::to_string(number) + ",\"simulationTime\":" + step.time;
            if (f_.files)
                out += ",\"currentFile\":" + step.file;
            out += ",\"currentLine\":" + step.line + ",\"signalState\":{";
            writeSignals(out, step.values);
            out += "},\"queues\":";
            if (types_.empty()) {
                out += "null}";
                continue;
            }
            out += '{';
            for (size_t type = 0; type < types_.size(); ++type) {
                if (type)
                    out += ',';
                out += type_keys_[type] + ":[" + step.queues[type] + "]";
            }
            out += "}}";
        }
        return out + "]";
    }

    static void bind(Statement& stmt, const Values& values) {
        for (size_t i = 0; i < values.size(); ++i)
            stmt.integer(static_cast<int>(i) + 1, values[i]);
    }

    sqlite3* db_;
    const TimelineFilter& f_;
    ReadFailure failure_;
    std::map<int64_t, std::string> files_;
    std::unordered_set<int64_t> listed_;
    std::vector<Signal> signals_;
    std::vector<int64_t> signal_ids_;
    std::unordered_map<int64_t, int> signal_index_;
    std::map<int64_t, StepEntry> steps_;
    StepEntry* step_ = nullptr;
    int64_t step_number_ = 0;
    std::vector<std::string> texts_;
    std::vector<std::string> types_;
    std::vector<std::string> type_keys_;
    std::unordered_map<std::string, size_t> type_index_;
    std::unordered_set<std::string> paths_;
};

// "Retrieval failed" and "" when a statement does not prepare; "" when a step fails.
std::string retrievedTimeline(sqlite3* db, const TimelineFilter& f) {
    TimelineReader reader(db, f);
    if (auto text = reader.read())
        return *text;
    if (reader.failure().prepare)
        std::cerr << "Retrieval failed " << reader.failure().message << "\n";
    return "";
}

// "[]" on any failure, which is logged only when asked.
std::string boundTimeline(sqlite3* db, const TimelineFilter& f, bool log_failure) {
    TimelineReader reader(db, f);
    if (auto text = reader.read())
        return *text;
    if (log_failure)
        std::cerr << (reader.failure().prepare ? "prepare failed: " : "query failed: ")
                  << reader.failure().message << "\n";
    return "[]";
}

} // namespace

std::string Database::getTimeline() {
    TimelineFilter all;
    all.files = true;
    return retrievedTimeline(db, all);
}

std::string Database::getTimelineStep(int step) {
    TimelineFilter one;
    one.step = step;
    return retrievedTimeline(db, one);
}

std::string Database::getTimelineForInstance(int instance_id) {
    TimelineFilter f;
    f.instances = std::vector<int>{instance_id};
    return boundTimeline(db, f, false);
}

std::string Database::getTimelineWindow(int64_t t0, int64_t t1,
                                        const std::vector<int>& instance_ids) {
    TimelineFilter f;
    f.files = true;
    f.instances = instance_ids;
    f.times = std::make_pair(t0, t1);
    return boundTimeline(db, f, true);
}

std::string Database::getTimelineForInstanceListByStep(const std::vector<int>& instance_ids,
                                                       int step) {
    TimelineFilter f;
    f.files = true;
    f.instances = instance_ids;
    f.step = step;
    return boundTimeline(db, f, false);
}
