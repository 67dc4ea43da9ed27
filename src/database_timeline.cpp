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
#include <string_view>
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

// One row of the signals table as the readers write it.
struct Signal {
    int64_t id = 0;
    std::optional<int64_t> instance; // an integer instance id, else none
    std::string name;                // as stored, for the order
    std::string key;                 // as written
    int rank = 0;                    // place in name order; equal names share it
};

// The whole signals table, read again only when it may have changed: after a
// write on the connection, a change of schema, or a move to another file.
// Reading and ranking it is most of the cost of one step's answer.
struct SignalCatalogue {
    int64_t changes = -1;
    int64_t schema = -1;
    uint64_t epoch = 0;
    std::vector<Signal> signals;
    std::unordered_map<int64_t, int> index; // signal_id -> position in `signals`
    // The same for ids from 0 up, which are most: a step looks up every row's.
    std::vector<int> dense;

    void index_densely() {
        dense.clear();
        for (const auto& [id, at] : index) {
            if (id < 0 || static_cast<uint64_t>(id) > 4 * signals.size() + 1024)
                continue;
            if (dense.size() <= static_cast<size_t>(id))
                dense.resize(static_cast<size_t>(id) + 1, -1);
            dense[static_cast<size_t>(id)] = at;
        }
    }
    // The position of a signal id, or -1.
    int position(int64_t id) const {
        if (id >= 0 && static_cast<uint64_t>(id) < dense.size())
            return dense[static_cast<size_t>(id)];
        auto it = index.find(id);
        return it == index.end() ? -1 : it->second;
    }
};

class TimelineReader {
public:
    TimelineReader(sqlite3* db, uint64_t epoch, const TimelineFilter& filter)
        : db_(db), epoch_(epoch), f_(filter) {}

    std::optional<std::string> read() {
        if (!readFiles() || !readSignals() || !readRows() || !readQueueTypes() ||
            !readPaths() || !readQueues())
            return std::nullopt;
        return write();
    }
    const ReadFailure& failure() const { return failure_; }

private:
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
        std::string out;
        appendJson(out, value);
        return out;
    }
    void appendJson(std::string& out, sqlite3_value* value) {
        switch (sqlite3_value_type(value)) {
        case SQLITE_INTEGER: {
            char number[24];
            out.append(number, std::to_chars(number, number + sizeof number,
                                             sqlite3_value_int64(value)).ptr);
            return;
        }
        case SQLITE_NULL: out += "null"; return;
        default: out += quoted(value, false); return;
        }
    }

    const std::string& fileOf(sqlite3_value* id) const {
        static const std::string null = "null";
        if (sqlite3_value_type(id) != SQLITE_INTEGER)
            return null;
        auto it = files_.find(sqlite3_value_int64(id));
        return it == files_.end() ? null : it->second;
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

    // The signals table as of now, from the catalogue when it still holds.
    bool readCatalogue() {
        static SignalCatalogue kept;
        Statement schema(db_, "PRAGMA schema_version;");
        if (!prepare(schema))
            return false;
        const int64_t version = schema.step() == SQLITE_ROW ? schema.integerAt(0) : -1;
        const int64_t changes = sqlite3_total_changes64(db_);
        if (kept.changes == changes && kept.schema == version && kept.epoch == epoch_) {
            catalogue_ = &kept;
            return true;
        }
        kept = SignalCatalogue{};
        SignalCatalogue fresh;
        Statement stmt(db_, "SELECT signal_id, name, instance_id FROM signals;");
        if (!prepare(stmt) || !each(stmt, [&] {
                sqlite3_value* name = column(stmt, 1);
                Signal signal;
                signal.id = integer(column(stmt, 0));
                sqlite3_value* instance = column(stmt, 2);
                if (sqlite3_value_type(instance) == SQLITE_INTEGER)
                    signal.instance = sqlite3_value_int64(instance);
                signal.name = text(name);
                if (sqlite3_value_type(name) == SQLITE_TEXT)
                    appendJsonString(signal.key, signal.name);
                else
                    signal.key = quoted(name, true);
                fresh.index.emplace(signal.id, static_cast<int>(fresh.signals.size()));
                fresh.signals.push_back(std::move(signal));
            }))
            return false;
        rank(fresh.signals);
        fresh.index_densely();
        fresh.changes = changes;
        fresh.schema = version;
        fresh.epoch = epoch_;
        kept = std::move(fresh);
        catalogue_ = &kept;
        return true;
    }

    // The signals whose rows are shown: those of the listed instances, or all.
    bool readSignals() {
        if (!readCatalogue())
            return false;
        if (!f_.instances)
            return true;
        listed_.insert(f_.instances->begin(), f_.instances->end());
        shown_.assign(catalogue_->signals.size(), 0);
        for (size_t i = 0; i < catalogue_->signals.size(); ++i) {
            const Signal& signal = catalogue_->signals[i];
            if (signal.instance && listed_.count(*signal.instance)) {
                shown_[i] = 1;
                signal_ids_.push_back(signal.id);
            }
        }
        return true;
    }

    // Columns 0 to 3: step, time, file, line; 5, 6: value and rowid.
    void addRow(Statement& stmt, int signal) {
        const int64_t number = integer(column(stmt, 0));
        if (!step_ || number != step_number_) {
            auto [it, first] = steps_.try_emplace(number);
            step_ = &it->second;
            step_number_ = number;
            if (first)
                setHeader(stmt, 1);
        }
        addValue(stmt, signal, 5);
    }

    // Columns `at` to `at` + 2: time, file, line.
    void setHeader(Statement& stmt, int at) {
        step_->time = json(column(stmt, at));
        step_->file = f_.files ? fileOf(column(stmt, at + 1)) : "";
        step_->line = json(column(stmt, at + 2));
    }

    // Columns `at` and `at` + 1: value and rowid.
    void addValue(Statement& stmt, int signal, int at) {
        Value value;
        value.signal = signal;
        value.rowid = integer(column(stmt, at + 1));
        sqlite3_value* stored = column(stmt, at);
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
    // One step: its rows carry only what differs from row to row; the step's
    // time and line are those of its first row shown.
    bool readStep() {
        const bool few = f_.instances && signal_ids_.size() <= kFewInQuery;
        Statement stmt(db_, "SELECT signal_id, signal_val, rowid FROM timeline WHERE step = ?" +
                                (few ? " AND signal_id IN (" + placeholders(signal_ids_.size()) + ")"
                                     : std::string()) +
                                ";");
        if (!prepare(stmt))
            return false;
        stmt.integer(1, *f_.step);
        for (size_t i = 0; few && i < signal_ids_.size(); ++i)
            stmt.integer(static_cast<int>(i) + 2, signal_ids_[i]);
        return each(stmt, [&] {
            sqlite3_value* id = column(stmt, 0);
            if (sqlite3_value_type(id) != SQLITE_INTEGER)
                return;
            const int signal = catalogue_->position(sqlite3_value_int64(id));
            if (signal < 0 || (!shown_.empty() && !shown_[static_cast<size_t>(signal)]))
                return;
            if (!step_) {
                Statement head(db_, "SELECT time, current_file_id, current_line FROM timeline "
                                    "WHERE rowid = ?;");
                head.integer(1, integer(column(stmt, 2)));
                if (!head.ok() || head.step() != SQLITE_ROW)
                    return;
                step_ = &steps_[*f_.step];
                setHeader(head, 0);
            }
            addValue(stmt, signal, 1);
        });
    }

    bool readRows() {
        if (f_.times && f_.instances && seekShownSignals())
            return readWindowStepByStep();
        if (f_.step)
            return readStep();
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
            const int signal = catalogue_->position(sqlite3_value_int64(id));
            if (signal >= 0 && (shown_.empty() || shown_[static_cast<size_t>(signal)]))
                addRow(stmt, signal);
        });
    }

    // Whether the window's shown signals are few enough among all that seeking
    // them step by step reads less than every row of the window would: each
    // step costs two seeks more, a seek about what four rows read through cost.
    bool seekShownSignals() const {
        return signal_ids_.size() <= kFewInQuery &&
               (signal_ids_.size() + 2) * 4 < catalogue_->signals.size();
    }

    // The window's steps one at a time, in the order of the time index, and
    // of each step the rows of the shown signals, sought in that index. The
    // next step is the next at the same time, else the first at a later one.
    bool readWindowStepByStep() {
        Statement first(db_, "SELECT time, step FROM timeline WHERE time BETWEEN ? AND ? "
                             "ORDER BY time, step LIMIT 1;");
        Statement same_time(db_, "SELECT time, step FROM timeline WHERE time = ? AND step > ? "
                                 "ORDER BY step LIMIT 1;");
        Statement later(db_, "SELECT time, step FROM timeline WHERE time > ? AND time <= ? "
                             "ORDER BY time, step LIMIT 1;");
        Statement rows(db_, "SELECT step, time, current_file_id, current_line, signal_id, "
                            "signal_val, rowid FROM timeline INDEXED BY timeline_by_time "
                            "WHERE time = ? AND step = ? AND signal_id IN (" +
                                placeholders(signal_ids_.size()) + ");");
        if (!prepare(first) || !prepare(same_time) || !prepare(later) || !prepare(rows))
            return false;
        first.integer(1, f_.times->first);
        first.integer(2, f_.times->second);
        later.integer(2, f_.times->second);
        for (size_t i = 0; i < signal_ids_.size(); ++i)
            rows.integer(static_cast<int>(i) + 3, signal_ids_[i]);
        int rc = first.step();
        Statement* key = &first;
        while (rc == SQLITE_ROW) {
            // The key's values outlive the resets that follow.
            sqlite3_value* time = sqlite3_value_dup(column(*key, 0));
            sqlite3_value* step = sqlite3_value_dup(column(*key, 1));
            for (Statement* stmt : {&first, &same_time, &later, &rows})
                sqlite3_reset(stmt->get());
            sqlite3_bind_value(rows.get(), 1, time);
            sqlite3_bind_value(rows.get(), 2, step);
            sqlite3_bind_value(same_time.get(), 1, time);
            sqlite3_bind_value(same_time.get(), 2, step);
            sqlite3_bind_value(later.get(), 1, time);
            sqlite3_value_free(time);
            sqlite3_value_free(step);
            if (!each(rows, [&] {
                    const int signal = catalogue_->position(integer(column(rows, 4)));
                    if (signal >= 0 && shown_[static_cast<size_t>(signal)])
                        addRow(rows, signal);
                }))
                return false;
            key = &same_time;
            rc = same_time.step();
            if (rc == SQLITE_DONE) {
                key = &later;
                rc = later.step();
            }
        }
        return finished(rc);
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

    // The place of a queue type among the types read; their count when it is
    // none of them. There are a handful: a look at each beats hashing.
    size_t typeOf(sqlite3_value* value) const {
        auto bytes = reinterpret_cast<const char*>(sqlite3_value_text(value));
        const std::string_view type(bytes ? bytes : "",
                                    bytes ? static_cast<size_t>(sqlite3_value_bytes(value)) : 0);
        return static_cast<size_t>(std::find(types_.begin(), types_.end(), type) - types_.begin());
    }

    // The queue entries of the steps shown, by type, in the order recorded.
    // They are put in that order here: the index that finds them orders each
    // step's entries by instance first.
    bool readQueues() {
        if (steps_.empty() || types_.empty() || (f_.instances && paths_.empty()))
            return true;
        const bool few = f_.instances && paths_.size() <= kFewInQuery;
        // With few paths and steps each (type, step, path) is sought in the
        // index; else the steps' range is read through.
        const bool each_step = few && steps_.size() <= kFewInQuery;
        const std::string steps =
            each_step ? "step IN (" + placeholders(steps_.size()) + ")" : "step BETWEEN ? AND ?";
        Statement stmt(db_, "SELECT type, step, file_id, line, when_line, instance_path, rowid "
                            "FROM queuestate WHERE type IN (" + placeholders(types_.size()) +
                                ") AND " + steps +
                                (few ? " AND instance_path IN (" + placeholders(paths_.size()) +
                                           ")"
                                     : "") +
                                ";");
        if (!prepare(stmt))
            return false;
        int next = 1;
        for (const std::string& type : types_)
            stmt.text(next++, type);
        if (each_step) {
            for (const auto& [number, entry] : steps_)
                stmt.integer(next++, number);
        } else {
            stmt.integer(next++, steps_.begin()->first);
            stmt.integer(next++, steps_.rbegin()->first);
        }
        if (few)
            for (const std::string& path : paths_)
                stmt.text(next++, path);
        struct Entry {
            StepEntry* step;
            int64_t number;
            size_t type;
            int64_t rowid;
            size_t begin;
            size_t end;
        };
        std::vector<Entry> entries;
        std::string text_of_all;
        const bool read = each(stmt, [&] {
            auto step = steps_.find(integer(column(stmt, 1)));
            if (step == steps_.end())
                return;
            if (f_.instances) {
                sqlite3_value* path = column(stmt, 5);
                if (sqlite3_value_type(path) == SQLITE_NULL || !paths_.count(text(path)))
                    return;
            }
            const size_t type = typeOf(column(stmt, 0));
            if (type == types_.size())
                return;
            const size_t begin = text_of_all.size();
            text_of_all += '{';
            if (f_.files) {
                text_of_all += "\"file\":";
                text_of_all += fileOf(column(stmt, 2));
                text_of_all += ',';
            }
            text_of_all += "\"line\":";
            appendJson(text_of_all, column(stmt, 3));
            text_of_all += ",\"when\":";
            appendJson(text_of_all, column(stmt, 4));
            text_of_all += '}';
            entries.push_back({&step->second, step->first, type,
                               integer(column(stmt, 6)), begin, text_of_all.size()});
        });
        if (!read)
            return false;
        std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
            if (a.number != b.number)
                return a.number < b.number;
            return a.type != b.type ? a.type < b.type : a.rowid < b.rowid;
        });
        for (const Entry& e : entries) {
            std::string& queue = e.step->queues[e.type];
            if (!queue.empty())
                queue += ',';
            queue.append(text_of_all, e.begin, e.end - e.begin);
        }
        return true;
    }

    static void rank(std::vector<Signal>& signals) {
        std::vector<int> order(signals.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = static_cast<int>(i);
        std::sort(order.begin(), order.end(),
                  [&](int a, int b) { return signals[a].name < signals[b].name; });
        for (size_t i = 0; i < order.size(); ++i) {
            const bool same = i > 0 && signals[order[i]].name == signals[order[i - 1]].name;
            signals[order[i]].rank = same ? signals[order[i - 1]].rank : static_cast<int>(i);
        }
    }

    void writeSignals(std::string& out, std::vector<Value>& values) const {
        const std::vector<Signal>& signals = catalogue_->signals;
        std::sort(values.begin(), values.end(), [&](const Value& a, const Value& b) {
            const int ra = signals[a.signal].rank;
            const int rb = signals[b.signal].rank;
            return ra != rb ? ra < rb : a.rowid < b.rowid;
        });
        char number[24];
        for (size_t i = 0; i < values.size(); ++i) {
            if (i)
                out += ',';
            out += signals[values[i].signal].key;
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
        // Room for the whole answer at once: growing it would copy it again and again.
        size_t room = 2;
        for (const auto& [number, step] : steps_) {
            room += 128 + step.time.size() + step.file.size() + step.line.size();
            for (const Value& value : step.values)
                room += catalogue_->signals[static_cast<size_t>(value.signal)].key.size() + 22;
            for (const std::string& queue : step.queues)
                room += queue.size() + 16;
        }
        std::string out;
        out.reserve(room);
        out += '[';
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
                out += type_keys_[type];
                out += ":[";
                out += step.queues[type];
                out += ']';
            }
            out += "}}";
        }
        out += ']';
        return out;
    }

    static void bind(Statement& stmt, const Values& values) {
        for (size_t i = 0; i < values.size(); ++i)
            stmt.integer(static_cast<int>(i) + 1, values[i]);
    }

    sqlite3* db_;
    uint64_t epoch_;
    const TimelineFilter& f_;
    ReadFailure failure_;
    std::map<int64_t, std::string> files_;
    std::unordered_set<int64_t> listed_;
    const SignalCatalogue* catalogue_ = nullptr;
    std::vector<char> shown_; // per catalogue signal, when instances are listed
    std::vector<int64_t> signal_ids_;
    std::map<int64_t, StepEntry> steps_;
    StepEntry* step_ = nullptr;
    int64_t step_number_ = 0;
    std::vector<std::string> texts_;
    std::vector<std::string> types_;
    std::vector<std::string> type_keys_;
    std::unordered_set<std::string> paths_;
};

// "Retrieval failed" and "" when a statement does not prepare; "" when a step fails.
std::string retrievedTimeline(sqlite3* db, uint64_t epoch, const TimelineFilter& f) {
    TimelineReader reader(db, epoch, f);
    if (auto text = reader.read())
        return *text;
    if (reader.failure().prepare)
        std::cerr << "Retrieval failed " << reader.failure().message << "\n";
    return "";
}

// "[]" on any failure, which is logged only when asked.
std::string boundTimeline(sqlite3* db, uint64_t epoch, const TimelineFilter& f,
                         bool log_failure) {
    TimelineReader reader(db, epoch, f);
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
    return retrievedTimeline(db, content_epoch, all);
}

std::string Database::getTimelineStep(int step) {
    TimelineFilter one;
    one.step = step;
    return retrievedTimeline(db, content_epoch, one);
}

std::string Database::getTimelineForInstance(int instance_id) {
    TimelineFilter f;
    f.instances = std::vector<int>{instance_id};
    return boundTimeline(db, content_epoch, f, false);
}

std::string Database::getTimelineWindow(int64_t t0, int64_t t1,
                                        const std::vector<int>& instance_ids) {
    TimelineFilter f;
    f.files = true;
    f.instances = instance_ids;
    f.times = std::make_pair(t0, t1);
    return boundTimeline(db, content_epoch, f, true);
}

std::string Database::getTimelineForInstanceListByStep(const std::vector<int>& instance_ids,
                                                       int step) {
    TimelineFilter f;
    f.files = true;
    f.instances = instance_ids;
    f.step = step;
    return boundTimeline(db, content_epoch, f, false);
}
