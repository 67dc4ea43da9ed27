// Read queries of the project database: the instance hierarchy, property
// windows, steps and times, and the signal, property and project-state lists.
#include "database.h"
#include "database_statement.h"
#include "json_escape.h"

#include <sqlite3.h>

#include <algorithm>
#include <iostream>
#include <limits>
#include <map>
#include <sstream>

namespace {

using Values = std::vector<int64_t>;

void logPrepareFailure(sqlite3* db) {
    std::cerr << "prepare failed: " << sqlite3_errmsg(db) << "\n";
}

void bindAll(Statement& stmt, const Values& values) {
    for (size_t i = 0; i < values.size(); ++i)
        stmt.integer(static_cast<int>(i + 1), values[i]);
}

// Column 0 of the first row as a number; -1 for a failed prepare, no row or NULL.
int64_t queryNumber(sqlite3* db, const std::string& sql, const Values& values, bool log_failure) {
    Statement stmt(db, sql);
    if (!stmt.ok()) {
        if (log_failure)
            logPrepareFailure(db);
        return -1;
    }
    bindAll(stmt, values);
    return stmt.step() == SQLITE_ROW ? stmt.integerAt(0) : -1;
}

// Column 0 of the first row as text, as process_retrieval_query answers it, for a
// statement that binds its parameters.
std::string retrieveText(sqlite3* db, Statement& stmt) {
    if (!stmt.ok()) {
        std::cerr << "Retrieval failed " << sqlite3_errmsg(db) << "\n";
        return "";
    }
    return stmt.step() == SQLITE_ROW ? stmt.textAt(0) : "";
}

std::string placeholders(size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i)
        text += i ? ", ?" : "?";
    return text;
}

Values toValues(const std::vector<int>& ids) {
    return Values(ids.begin(), ids.end());
}

// a + b, held inside the signed range that timeline times are stored in.
int64_t addTimes(int64_t a, int64_t b) {
    int64_t sum = 0;
    if (!__builtin_add_overflow(a, b, &sum))
        return sum;
    return b > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
}

int64_t toStoredTime(uint64_t time) {
    constexpr auto kMax = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    return static_cast<int64_t>(std::min(time, kMax));
}

} // namespace

// ---- Instance hierarchy ----

std::string Node::escapeJson(const std::string& text) {
    return json_escape(text);
}

std::string Node::toJson() const {
    std::string json = "{\"instance_name\":\"" + escapeJson(name) + "\",";
    json += "\"module\":\"" + escapeJson(base_m) + "\",";
    json += "\"instance_id\":" + std::to_string(id) + ",";
    json += "\"file\": \"" + escapeJson(file) + "\",";
    json += "\"start_line\":" + std::to_string(start_line) + ",";
    json += "\"end_line\":" + std::to_string(end_line) + ",";
    json += "\"children\":[";
    for (size_t i = 0; i < children.size(); ++i)
        json += (i ? "," : "") + children[i]->toJson();
    return json + "]}";
}

// The subtree queries recurse with UNION, not UNION ALL: parent links that loop
// (host SQL can write them) must end the recursion rather than hang the host.
std::string Database::getHierarchy(int inst_id) {
    Statement stmt(
        db, "WITH RECURSIVE tree AS (  SELECT i.instance_name, i.instance_id, p.file_path, "
            "i.start_line, i.end_line, i.parent_id, i.base_module FROM  instances i  JOIN "
            "projectstructure p ON p.id = i.file_id WHERE i.instance_id = ?  UNION  SELECT "
            "i.instance_name, i.instance_id, p.file_path, i.start_line, i.end_line, i.parent_id, "
            "i.base_module  FROM instances i  JOIN projectstructure p on p.id = i.file_id  JOIN "
            "tree ON i.parent_id = tree.instance_id) SELECT instance_name, instance_id, "
            "file_path, start_line, end_line, parent_id, base_module FROM tree");
    if (!stmt.ok())
        return "{}";
    stmt.integer(1, inst_id);
    std::map<int, Node> nodes;  // ascending ids give roots and children in id order
    while (stmt.step() == SQLITE_ROW) {
        Node node;
        node.name = stmt.textAt(0);
        node.id = static_cast<int>(stmt.integerAt(1, 0));
        node.file = stmt.textAt(2);
        node.start_line = static_cast<int>(stmt.integerAt(3, 0));
        node.end_line = static_cast<int>(stmt.integerAt(4, 0));
        node.par = static_cast<int>(stmt.integerAt(5, 0));
        node.base_m = stmt.textAt(6);
        nodes[node.id] = std::move(node);
    }
    std::vector<const Node*> roots;
    for (auto& [id, node] : nodes) {
        auto parent = nodes.find(node.par);
        // The queried instance stays a root even if a stray parent id names a
        // node below it, so the tree can never loop.
        if (id == inst_id || parent == nodes.end())
            roots.push_back(&node);
        else
            parent->second.children.push_back(&node);
    }
    std::string json = "[";
    for (size_t i = 0; i < roots.size(); ++i)
        json += (i ? "," : "") + roots[i]->toJson();
    return json + "]";
}

std::string Database::getHierarchy(const std::string& inst_path) {
    return getHierarchy(findInstanceIDByPath(inst_path));
}

int Database::findInstanceIDByPath(const std::string& path) {
    std::vector<std::string> segments;
    std::istringstream reader(path);
    for (std::string segment; std::getline(reader, segment, '.');)
        segments.push_back(segment);

    int current = -1;
    for (size_t i = 0; i < segments.size(); ++i) {
        // The top instance has its module's id, so the first segment is a module name.
        if (i == 0) {
            Statement stmt(db, "SELECT module_id FROM modules WHERE name = ?");
            if (!stmt.ok())
                return -1;
            stmt.text(1, segments[0]);
            if (stmt.step() != SQLITE_ROW)
                return -1;
            current = static_cast<int>(stmt.integerAt(0));
            continue;
        }
        // An instance inside generate blocks is named with their path
        // (g[0].u): a segment that names no instance is joined with the next.
        std::string name = segments[i];
        std::optional<int> child;
        while (!(child = childInstanceId(name, current)) && i + 1 < segments.size())
            name += "." + segments[++i];
        if (!child)
            return -1;
        current = *child;
    }
    return current;
}

std::optional<int> Database::childInstanceId(const std::string& name, int parent) {
    Statement stmt(db, "SELECT instance_id FROM instances WHERE instance_name = ? AND parent_id = ?");
    if (!stmt.ok())
        return std::nullopt;
    stmt.text(1, name);
    stmt.integer(2, parent);
    if (stmt.step() != SQLITE_ROW)
        return std::nullopt;
    return static_cast<int>(stmt.integerAt(0));
}

std::string Database::getAllModules() {
    return process_retrieval_query(
        db, "SELECT json_group_array(json_object('module', m.name, 'file', (SELECT file_path "
            "FROM projectstructure WHERE id = m.file_id), 'line', m.start_line, 'instances', "
            "json((SELECT json_group_array(json_object('id', i.instance_id, 'name', "
            "i.instance_name, 'line', i.start_line, 'parent', i.parent_id, 'base', "
            "i.base_module, 'hierarchy', i.instance_path)) FROM (SELECT * FROM instances WHERE "
            "base_module = m.name ORDER BY instance_id) i)))) FROM (SELECT * FROM modules ORDER "
            "BY module_id, name) m;");
}

std::vector<int> Database::getSubtreeInstanceIds(int root) {
    std::vector<int> ids;
    Statement stmt(db, "WITH RECURSIVE tree AS (  SELECT instance_id, parent_id FROM instances "
                       "WHERE instance_id = ?  UNION  SELECT i.instance_id, i.parent_id FROM "
                       "instances i  JOIN tree ON i.parent_id = tree.instance_id) SELECT "
                       "instance_id FROM tree");
    if (stmt.ok()) {
        stmt.integer(1, root);
        while (stmt.step() == SQLITE_ROW)
            ids.push_back(static_cast<int>(stmt.integerAt(0)));
    }
    if (ids.empty())
        ids.push_back(root);
    return ids;
}

std::string Database::instancePathOf(int instance_id) {
    std::string path;
    // A parent row names its parent in turn; the count stops a cycle.
    for (int id = instance_id, hops = 0; hops < 100000; ++hops) {
        Statement stmt(db, "SELECT instance_name, parent_id FROM instances WHERE instance_id = ?");
        if (!stmt.ok())
            return "";
        stmt.integer(1, id);
        if (stmt.step() != SQLITE_ROW)
            return "";
        path = stmt.textAt(0) + (path.empty() ? "" : ".") + path;
        if (stmt.isNull(1))
            return path;
        id = static_cast<int>(stmt.integerAt(1));
    }
    return "";
}

std::string Database::getParentHierarchy(int instance_id) {
    int shown = instance_id;  // a top instance shows its own tree
    {
        Statement stmt(db, "SELECT parent_id from instances  WHERE instance_id = ?");
        if (!stmt.ok())
            return "{}";
        stmt.integer(1, instance_id);
        if (stmt.step() != SQLITE_ROW)
            return "{}";
        if (!stmt.isNull(0))
            shown = static_cast<int>(stmt.integerAt(0));
    }
    return getHierarchy(shown);
}

// ---- Timeline wrappers (the timeline itself: database_timeline.cpp) ----

std::string Database::getModuleForProperty(const std::string& label) {
    Statement stmt(db, " SELECT instance_id FROM properties WHERE label = ?");
    if (!stmt.ok())
        return "";
    stmt.text(1, label);
    if (stmt.step() != SQLITE_ROW) {
        std::cerr << "[GET MODULE PROPERTY] failed\n";
        return "";
    }
    return stmt.textAt(0);
}

std::string Database::getPropertyWaveformTimeline(uint64_t centerTime, uint64_t radius,
                                                  const std::string& label) {
    const int id = findInstanceIDByPath(getModuleForProperty(label));
    const int64_t center = toStoredTime(centerTime);
    const int64_t reach = toStoredTime(radius);
    return getTimelineWindow(addTimes(center, -reach), addTimes(center, reach), {id});
}

std::string Database::injectAndSimResponse() {
    bool success = false;
    std::string error;
    // The time the run reached, which the timeline shows only up to where it stopped.
    int64_t final_time = -1;
    {
        Statement stmt(db, "SELECT last_simulation_status, last_simulation_error, final_time "
                           "FROM projectstate; ");
        if (!stmt.ok()) {
            logPrepareFailure(db);
            return "";
        }
        if (stmt.step() == SQLITE_ROW) {
            success = stmt.integerAt(0, 0) != 0;
            error = stmt.textAt(1);
            final_time = stmt.integerAt(2, -1);
        }
    }
    return injectAndSimResponse(success, error, final_time);
}

std::string Database::injectAndSimResponse(bool success, const std::string& error,
                                           int64_t final_time) {
    std::string timeline = getTimeline();
    if (timeline.empty())
        timeline = "[]";
    return std::string("{\"success\": ") + (success ? "1" : "0") + ",\"error\": \"" +
           json_escape(error) + "\",\"finalTime\": " + std::to_string(final_time) +
           ",\"timeline\": " + timeline + "}";
}

// ---- Steps and times ----

int Database::getMinStep(int64_t time) {
    return static_cast<int>(
        queryNumber(db, "SELECT MIN(step) FROM timeline WHERE time = ?", {time}, true));
}

int Database::getMaxStep(int64_t time) {
    std::cerr << "[DATABASE] " << time << "\n";
    Statement stmt(db, "SELECT MAX(step) FROM timeline WHERE time = ?");
    if (!stmt.ok()) {
        logPrepareFailure(db);
        return -1;
    }
    stmt.integer(1, time);
    const int step = stmt.step() == SQLITE_ROW ? static_cast<int>(stmt.integerAt(0)) : -1;
    std::cerr << "[DATABASE] " << step << "\n";
    return step;
}

int Database::getMaxStep() {
    return static_cast<int>(queryNumber(db, "SELECT MAX(step) from timeline;", {}, false));
}

int Database::getTotalSteps() {
    return static_cast<int>(
        queryNumber(db, "SELECT COUNT(DISTINCT step) FROM timeline;", {}, true));
}

int64_t Database::getMaxTime() {
    return queryNumber(db, "SELECT MAX(time) from timeline;", {}, true);
}

namespace {

// (window size, start time) of the project row, each -1 when absent; false when
// the statement does not prepare.
bool readWindowSettings(sqlite3* db, int64_t& window, int64_t& start) {
    window = -1;
    start = -1;
    Statement stmt(db, "SELECT waveform_window_size, default_simulation_start_time FROM "
                       "projectstate;");
    if (!stmt.ok()) {
        logPrepareFailure(db);
        return false;
    }
    if (stmt.step() == SQLITE_ROW) {
        window = stmt.integerAt(0);
        start = stmt.integerAt(1);
    }
    return true;
}

// The window's ends in ticks: from the first tick at or after its start to the
// last tick at or before its end. Negative times stay as they are (nothing is
// recorded before 0).
std::pair<int64_t, int64_t> windowTicks(int64_t start, int64_t window, const TickScale& scale) {
    const auto ticks = [](int64_t t, uint64_t converted) {
        constexpr auto last = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
        return t < 0 ? t : static_cast<int64_t>(std::min(converted, last));
    };
    const int64_t end = addTimes(start, window);
    return {ticks(start, scale.firstTickFrom(static_cast<uint64_t>(std::max<int64_t>(start, 0)))),
            ticks(end, scale.lastTickWithin(static_cast<uint64_t>(std::max<int64_t>(end, 0))))};
}

} // namespace

std::pair<int64_t, int64_t> Database::getMinMaxStepWindow(const TickScale& scale) {
    int64_t window = -1;
    int64_t start = -1;
    if (!readWindowSettings(db, window, start))
        return {-1, -1};
    const auto [from, to] = windowTicks(start, window, scale);
    if (window == -1)
        return {-1, from};
    // The ends need not fall on recorded times: the window holds the steps whose
    // times lie between them.
    const int64_t first =
        queryNumber(db, "SELECT MIN(step) FROM timeline WHERE time >= ?", {from}, true);
    const int64_t last =
        queryNumber(db, "SELECT MAX(step) FROM timeline WHERE time <= ?", {to}, true);
    if (first == -1 || last == -1 || first > last)
        return {-1, -1};
    return {first, last};
}

std::pair<int64_t, int64_t> Database::getTimeRange(const TickScale& scale) {
    int64_t window = -1;
    int64_t start = -1;
    if (!readWindowSettings(db, window, start))
        return {-1, -1};
    return windowTicks(start, window, scale);
}

// ---- Signals, properties and project settings ----

namespace {

// A column as SQLite's JSON functions write it; false for a real or a blob,
// which they write in ways of their own.
bool appendJsonColumn(std::string& out, const Statement& stmt, int column) {
    switch (sqlite3_column_type(stmt.get(), column)) {
    case SQLITE_INTEGER: out += std::to_string(stmt.integerAt(column)); return true;
    case SQLITE_NULL: out += "null"; return true;
    case SQLITE_TEXT:
        out += '"';
        append_json_escaped(out, stmt.textAt(column));
        out += '"';
        return true;
    default: return false;
    }
}

} // namespace

std::string Database::hierSignalList() {
    const std::vector<int> ids = getSubtreeInstanceIds(current_working_hierarchy);
    const std::string among = "FROM signals WHERE instance_id IN (" + placeholders(ids.size()) + ")";
    // The list is written here, as json_group_array(json_object(...)) would
    // write it, at a fraction of its cost; a value of another kind leaves it to SQLite.
    Statement rows(db, "SELECT name, line, isReg, isPort, width, type " + among +
                           " ORDER BY signal_id;");
    if (!rows.ok())
        return "{}";
    bindAll(rows, toValues(ids));
    static const char* const keys[] = {"{\"name\":", ",\"id\":", ",\"line\":", ",\"isReg\":",
                                       ",\"isPort\":", ",\"width\":", ",\"type\":"};
    static const int columns[] = {0, 0, 1, 2, 3, 4, 5};
    std::string out = "[";
    bool plain = true;
    while (plain && rows.step() == SQLITE_ROW) {
        if (out.size() > 1)
            out += ',';
        for (size_t i = 0; i < std::size(keys) && plain; ++i) {
            out += keys[i];
            plain = appendJsonColumn(out, rows, columns[i]);
        }
        out += '}';
    }
    if (plain)
        return out + "]";
    Statement stmt(db, "SELECT json_group_array(json_object('name', name, 'id', name, 'line', "
                       "line, 'isReg', isReg, 'isPort', isPort, 'width', width, 'type', type)) "
                       "FROM (SELECT * " + among + " ORDER BY signal_id);");
    if (!stmt.ok())
        return "{}";
    bindAll(stmt, toValues(ids));
    if (stmt.step() != SQLITE_ROW || stmt.isNull(0))
        return "[]";
    return stmt.textAt(0);
}

std::string Database::getAllSignals() {
    return process_retrieval_query(
        db, "SELECT json_group_array(json_object('name', name, 'signal_id', signal_id, 'line', "
            "line, 'width', width, 'isReg', isReg, 'isPort', isPort, 'type', type, 'module', "
            "module, 'instance_id', instance_id)) FROM (SELECT * FROM signals ORDER BY "
            "signal_id);");
}

std::map<std::string, int64_t> Database::getSignalIds() {
    std::map<std::string, int64_t> ids;
    Statement stmt(db, "SELECT name, signal_id FROM signals ORDER BY signal_id;");
    if (stmt.ok())
        while (stmt.step() == SQLITE_ROW)
            ids.emplace(stmt.textAt(0), stmt.integerAt(1));
    return ids;
}

std::string Database::getSignalsByModule(const std::string& module) {
    Statement stmt(db, "SELECT json_group_array(json_object('name', s.name, 'signal_id', "
                       "s.signal_id, 'line', s.line, 'width', s.width, 'isReg', s.isReg, "
                       "'isPort', s.isPort, 'type', s.type)) FROM signals s WHERE s.module = ?;");
    if (stmt.ok())
        stmt.text(1, module);
    return retrieveText(db, stmt);
}

std::string Database::getPropertyTimeline() {
    return process_retrieval_query(
        db, "SELECT json_group_array(json_object('step', step, 'propertyState', json(states))) "
            "FROM (SELECT step, json_group_object(property_id, state) AS states FROM (SELECT "
            "step, property_id, state FROM propertytimeline ORDER BY step, property_id) GROUP "
            "BY step ORDER BY step);");
}

std::string Database::getPropertyTimelineStep(int step) {
    return process_retrieval_query(
        db, "SELECT json_group_object(property_id, state) FROM  propertytimeline WHERE step = " +
                std::to_string(step) + ";");
}

std::string Database::getAssertionEvents() {
    return process_retrieval_query(
        db, "SELECT json_group_array(json_object('propertyId', id, 'label', property_id, "
            "'time', time, 'result', result)) FROM (SELECT a.id AS id, a.property_id AS "
            "property_id, a.time AS time, a.result AS result FROM assertionevents a JOIN "
            "properties p ON a.property_id = p.id ORDER BY a.time, a.id);");
}

std::string Database::getSignalChanges() {
    return process_retrieval_query(
        db, "SELECT json_group_array(json_object('time', time, 'signal', signal_id, 'value', "
            "signal_val)) FROM (SELECT time, step, signal_id, signal_val FROM (SELECT time, "
            "step, signal_id, signal_val, LAG(signal_val) OVER (PARTITION BY signal_id ORDER BY "
            "step) AS previous FROM timeline) WHERE previous IS NULL OR previous <> signal_val "
            "ORDER BY time, step, signal_id);");
}

std::string Database::getProjectState() {
    return process_retrieval_query(
        db, "SELECT json_object('md5checksum', md5checksum, 'defaultMaxSimulationTime', "
            "default_max_simulation_time, 'defaultMaxSimulationCycle', "
            "default_max_simulation_cycle, 'defaultSimulationStartTime', "
            "default_simulation_start_time, 'defaultSimulationTimeUnit', "
            "default_simulation_time_unit, 'defaultWorkingHierarchy', "
            "default_working_hierarchy) FROM projectstate LIMIT 1;");
}
