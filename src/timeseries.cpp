#include "timeseries.h"

#include "database.h"

#include <algorithm>
#include <iostream>
#include <set>
#include <tuple>
#include <utility>

namespace wsim_timeseries {

int TimeSeriesDB::cursor = 0;

TimeSeriesDB& TimeSeriesDB::instance() {
    static TimeSeriesDB recorder;
    return recorder;
}

void TimeSeriesDB::register_module(const std::string& instance_name,
                                   const std::string& definition_name,
                                   const std::string& parent_path, int line) {
    const std::string path =
        parent_path.empty() ? instance_name : parent_path + "." + instance_name;
    if (node_by_path.count(path))
        return;
    auto node = std::make_shared<ModuleNode>(instance_name, definition_name, path, line);
    node_by_path[path] = node;
    auto parent = parent_path.empty() ? node_by_path.end() : node_by_path.find(parent_path);
    if (parent != node_by_path.end())
        parent->second->children.push_back(node);
    else
        hierarchy_roots.push_back(node);
    instance_line_map[instance_name] = line;
}

void TimeSeriesDB::register_line_instance(int line, const std::string& instance_id) {
    if (line >= 0 && !instance_id.empty())
        _line_to_instance_id[line] = instance_id;
}

std::string TimeSeriesDB::resolve_instance_for_line(int line) const {
    auto it = _line_to_instance_id.find(line);
    return it == _line_to_instance_id.end() ? std::string() : it->second;
}

int TimeSeriesDB::get_instance_line(const std::string& name) const {
    auto it = instance_line_map.find(name);
    return it == instance_line_map.end() ? -1 : it->second;
}

void TimeSeriesDB::set_line_ctx_map(std::vector<std::pair<int, int>> table) {
    _line_ctx_map = std::move(table);
}

std::pair<int, int> TimeSeriesDB::get_line_context(int index) const {
    if (static_cast<size_t>(index) < _line_ctx_map.size())
        return _line_ctx_map[static_cast<size_t>(index)];
    return {-1, -1};
}

void TimeSeriesDB::register_signal(const std::string& name, int line, bool is_port, bool is_reg,
                                   int width) {
    if (signals.count(name))
        return;
    signals.emplace(name, SignalInfo(name, name, line, is_port, is_reg, width));
    current_signal_state[name] = 0;
    signal_rows_checked = false;
}

void TimeSeriesDB::register_signal_in_scope(const std::string& signal_name,
                                            const std::string& scope_path) {
    if (scope_path.empty())
        return;
    auto it = node_by_path.find(scope_path);
    if (it != node_by_path.end())
        it->second->signals.push_back(signal_name);
}

// Once the timeline has stopped nothing reads the values or the causes, and a
// long run would pay for them on every change.
void TimeSeriesDB::record_signal_change(const std::string& name, int64_t value) {
    if (exceed_flag)
        return;
    auto it = current_signal_state.find(name);
    if (it != current_signal_state.end())
        it->second = value;
}

void TimeSeriesDB::record_cause_line(const std::string& process_name) {
    if (exceed_flag)
        return;
    const auto dot = process_name.find('.');
    if (dot == std::string::npos)
        return;
    const int line = get_instance_line(process_name.substr(0, dot));
    if (line != -1)
        pending_cause_lines.push_back(line);
}

void TimeSeriesDB::register_property(const std::string& label, int line,
                                     const std::string& ant_signal,
                                     const std::string& con_signal,
                                     const std::string& instance) {
    TrackedProperty& tracked = track(label);
    if (tracked.summary >= 0)
        return;
    PropertyResult& result = summary_of(tracked, label, line, instance);
    result.antecedentSignal = ant_signal;
    result.consequentSignal = con_signal;
    *tracked.state = "VACUOUS";
}

// One look-up a call finds a property's state and summary: a long run makes
// millions of calls.
TimeSeriesDB::TrackedProperty& TimeSeriesDB::track(const std::string& label) {
    auto [it, fresh] = tracked_properties.try_emplace(label);
    if (fresh)
        it->second.state = &current_property_state[label];
    return it->second;
}

PropertyResult& TimeSeriesDB::summary_of(TrackedProperty& tracked, const std::string& label,
                                         int line, const std::string& instance) {
    if (tracked.summary >= 0)
        return property_results[static_cast<size_t>(tracked.summary)];
    tracked.summary = static_cast<int>(property_results.size());
    PropertyResult result;
    result.label = label;
    result.line = line;
    property_results.push_back(std::move(result));
    // Events refer to the row: it goes in once, with the summary. An injected
    // property's row, written first, takes the instance that holds it, which
    // its timeline window shows.
    if (database_writes)
        Database::instance().insertPropertyOfInstance(label, label, instance);
    return property_results.back();
}

// Past the limit an event costs a count: a long run stays as small and as fast
// as its design.
bool TimeSeriesDB::keeps_event(time_t sim_time) {
    if (events_stopped)
        return false;
    if (next_event_id < kEventLimit)
        return true;
    events_stopped = true;
    std::cerr << "[TIMESERIES] assertion event limit reached at event " << next_event_id
              << ", time " << sim_time << "\n";
    return false;
}

void TimeSeriesDB::record_property_result(const std::string& label, int line,
                                          const std::string& result, time_t sim_time) {
    TrackedProperty& tracked = track(label);
    *tracked.state = result;
    if (result == "VACUOUS" || result == "PENDING")
        return;
    PropertyResult& summary = summary_of(tracked, label, line);
    const bool failed = result == "FAIL";
    summary.finalResult = result;
    ++summary.evaluations;
    if (failed)
        ++summary.failureCount;
    if (!keeps_event(sim_time))
        return;

    PropertyEvalEvent event{next_event_id++, label, sim_time, result};
    if (failed)
        summary.failures.push_back(event);
    all_eval_events.push_back(std::move(event));
    if (database_writes)
        Database::instance().insertAssertionEvent(label, static_cast<int64_t>(sim_time), result);
}

void TimeSeriesDB::record_timeline_step(time_t sim_time, int current_line, QueueState queues) {
    if (exceed_flag)
        return;
    const auto [file_id, source_line] = get_line_context(current_line);
    if (!timeline.empty()) {
        const TimelineStep& last = timeline.back();
        if (sim_time < last.simulationTime)
            return;
        const QueueState& last_given = queue_rows_stopped ? last_queues : last.queues;
        if (sim_time == last.simulationTime && current_line == last.currentLine &&
            last.signalState == current_signal_state && last_given == queues)
            return;
    }
    const int step = step_counter++;
    if (row_limit_reached()) {
        exceed_flag = 1;
        std::cerr << "[TIMESERIES] row limit reached at step " << step << "\n";
        return;
    }
    TimelineStep record(step, sim_time, current_line);
    record.signalState = current_signal_state;
    keep_property_states(record);
    record.causeLines = pending_cause_lines;
    std::sort(record.causeLines.begin(), record.causeLines.end());
    record.causeLines.erase(std::unique(record.causeLines.begin(), record.causeLines.end()),
                            record.causeLines.end());

    // The rows point into the step's queues, which stay where they are as the
    // step moves into the timeline.
    QueueRowRefs rows;
    if (!queue_rows_stopped) {
        rows = rows_of(queues);
        if (static_cast<size_t>(queue_rows) + rows.size() > static_cast<size_t>(kQueueRowLimit)) {
            queue_rows_stopped = true;
            rows.clear();
            std::cerr << "[TIMESERIES] queue row limit reached at step " << step << "\n";
        } else {
            queue_rows += static_cast<int>(rows.size());
            record.queues = std::move(queues);
        }
    }
    if (queue_rows_stopped)
        last_queues = std::move(queues);

    if (database_writes)
        write_step_rows(record, rows, file_id, source_line);
    // A step without signals still counts, so that a design without any stays bounded.
    recorded_rows += static_cast<int>(std::max<size_t>(1, record.signalState.size()));
    pending_cause_lines.clear();
    total_changes += changes_since(timeline.empty() ? nullptr : &timeline.back().signalState,
                                   record.signalState);
    timeline.push_back(std::move(record));
}

// A design with many properties and few signals would otherwise write far
// more state rows than the timeline's limit lets through.
void TimeSeriesDB::keep_property_states(TimelineStep& record) {
    if (property_rows_stopped)
        return;
    const size_t count = current_property_state.size();
    if (static_cast<size_t>(property_rows) + count > static_cast<size_t>(kPropertyRowLimit)) {
        property_rows_stopped = true;
        std::cerr << "[TIMESERIES] property row limit reached at step " << record.step << "\n";
        return;
    }
    property_rows += static_cast<int>(count);
    record.propertyState = current_property_state;
}

void TimeSeriesDB::write_step_rows(const TimelineStep& record, const QueueRowRefs& rows,
                                   int file_id, int source_line) {
    const int step = record.step;
    Database& db = Database::instance();
    find_signal_rows();
    // One transaction a step at least: a row each on its own would be a commit each.
    if (writes_held && !held_transaction_open) {
        if (held_rows_only && current_property_state.empty())
            db.checkRunKeysHere();
        held_transaction_open = db.runKept("BEGIN TRANSACTION;");
        // A fresh run's first rows: the indexes are built once all are in.
        indexes_dropped = held_transaction_open && step == 0 && db.dropRunIndexes();
    }
    const bool batched = !writes_held && db.runKept("BEGIN TRANSACTION;");
    const auto time = static_cast<int64_t>(record.simulationTime);
    // The step's signals are those whose rows were looked up, in the same order.
    std::vector<Database::TimelineRow> signal_rows;
    signal_rows.reserve(record.signalState.size());
    auto id = signal_row_ids.begin();
    for (const auto& [name, value] : record.signalState) {
        const int64_t signal_id = *id++;
        if (signal_id >= 0)
            signal_rows.push_back({signal_id, value});
    }
    table_rows += db.insertTimelineRows(step, time, file_id, source_line, signal_rows);
    for (const auto& [label, state] : record.propertyState)
        db.insertPropertyTimeline(step, label, state);
    write_queue_rows(step, rows);
    if (batched && !db.runKept("COMMIT;"))
        db.runKept("ROLLBACK;");
}

void TimeSeriesDB::hold_writes(bool rows_only) {
    writes_held = true;
    held_rows_only = rows_only;
}

void TimeSeriesDB::release_writes() {
    writes_held = false;
    held_rows_only = false;
    Database& db = Database::instance();
    if (held_transaction_open) {
        held_transaction_open = false;
        const bool indexed = !std::exchange(indexes_dropped, false) || db.createRunIndexes();
        if (!indexed || !db.runKept("COMMIT;"))
            db.runKept("ROLLBACK;");
    }
    db.checkKeysInSQLite();
}

bool TimeSeriesDB::row_limit_reached() {
    if (recorded_rows >= kRowLimit)
        return true;
    if (!database_writes)
        return false;
    if (table_rows < 0)
        table_rows = Database::instance().getRecordCount("timeline");
    return table_rows >= kRowLimit;
}

void TimeSeriesDB::find_signal_rows() {
    if (signal_rows_checked)
        return;
    signal_rows_checked = true;
    const std::map<std::string, int64_t> stored = Database::instance().getSignalIds();
    signal_row_ids.clear();
    for (const auto& [name, value] : current_signal_state) {
        auto row = stored.find(name);
        signal_row_ids.push_back(row == stored.end() ? -1 : row->second);
        if (row != stored.end() || !signals_without_rows.insert(name).second)
            continue;
        std::cerr << "[TIMESERIES] signal " << name
                  << " has no row in the signals table; it is not recorded\n";
    }
}

TimeSeriesDB::QueueRowRefs TimeSeriesDB::rows_of(const QueueState& queues) {
    QueueRowRefs rows;
    auto distinct = [&rows](const std::vector<QueueItem>& items, const char* type) {
        std::set<std::tuple<int, int, int64_t, std::string_view>> seen;
        for (const auto& item : items) {
            const auto when = static_cast<int64_t>(item.when);
            if (seen.emplace(item.file_id, item.line, when, item.instance_id).second)
                rows.emplace_back(type, &item);
        }
    };
    distinct(queues.active, "active");
    distinct(queues.inactive, "inactive");
    distinct(queues.nba, "nba");
    distinct(queues.monitor, "monitor");
    distinct(queues.observed, "observed");
    distinct(queues.future, "future");
    return rows;
}

void TimeSeriesDB::write_queue_rows(int step, const QueueRowRefs& rows) {
    std::vector<Database::QueueRow> queue_rows;
    queue_rows.reserve(rows.size());
    for (const auto& [type, item] : rows)
        queue_rows.push_back({type, item->line, item->file_id,
                              item->instance_id.empty() ? resolve_instance_for_line(item->line)
                                                        : item->instance_id,
                              static_cast<int64_t>(item->when)});
    Database::instance().insertQueueRows(step, queue_rows);
}

std::optional<RecordedUntil> TimeSeriesDB::recorded_until() const {
    if (!is_recording_stopped())
        return std::nullopt;
    if (timeline.empty())
        return RecordedUntil{};
    return RecordedUntil{timeline.back().step, static_cast<int64_t>(timeline.back().simulationTime)};
}

namespace {

// Calls `f` with every value of `now` that differs from the step `before`
// (none: the first step), or that is not 0 where `before` lacks the name.
// Names are only ever added, so the step before holds every name seen so far,
// and one as long holds the same names.
template <typename F>
void each_change_since(const std::map<std::string, int64_t>* before,
                       const std::map<std::string, int64_t>& now, F&& f) {
    if (before && before->size() == now.size()) {
        auto was = before->begin();
        for (const auto& [name, value] : now)
            if ((was++)->second != value)
                f(name, value);
        return;
    }
    static const std::map<std::string, int64_t> none;
    const auto& last = before ? *before : none;
    // Both in name order: one walk along the step before finds each name.
    auto was = last.cbegin();
    for (const auto& [name, value] : now) {
        while (was != last.cend() && was->first < name)
            ++was;
        const bool known = was != last.cend() && was->first == name;
        if (known ? (was++)->second != value : value != 0)
            f(name, value);
    }
}

} // namespace

void for_each_change(const std::vector<TimelineStep>& timeline,
                     const std::function<void(const TimelineStep&, const std::string&, int64_t)>& f) {
    const std::map<std::string, int64_t>* before = nullptr;
    for (const auto& step : timeline) {
        each_change_since(before, step.signalState,
                          [&](const std::string& name, int64_t value) { f(step, name, value); });
        before = &step.signalState;
    }
}

int changes_since(const std::map<std::string, int64_t>* before,
                  const std::map<std::string, int64_t>& now) {
    int changes = 0;
    each_change_since(before, now, [&changes](const std::string&, int64_t) { ++changes; });
    return changes;
}

int TimeSeriesDB::get_total_changes() const { return total_changes; }

bool TimeSeriesDB::step_forward() {
    ++cursor;
    const int count = static_cast<int>(timeline.size());
    if (cursor < count)
        return true;
    cursor = count - 1;
    return false;
}

bool TimeSeriesDB::step_backward() {
    --cursor;
    if (cursor >= 0)
        return true;
    cursor = 0;
    return false;
}

void TimeSeriesDB::clear() {
    timeline.clear();
    signals.clear();
    current_signal_state.clear();
    current_property_state.clear();
    hierarchy_roots.clear();
    node_by_path.clear();
    pending_cause_lines.clear();
    property_results.clear();
    tracked_properties.clear();
    _line_to_instance_id.clear();
    all_eval_events.clear();
    step_counter = 0;
    total_changes = 0;
    cursor = 0;
    next_event_id = 0;
    events_stopped = false;
    exceed_flag = 0;
    recorded_rows = 0;
    table_rows = -1;
    queue_rows = 0;
    queue_rows_stopped = false;
    property_rows = 0;
    property_rows_stopped = false;
    last_queues.clear();
    signal_rows_checked = false;
    signal_row_ids.clear();
    signals_without_rows.clear();
    if (database_writes)
        Database::instance().exec_sql("DELETE FROM assertionevents;DELETE FROM propertytimeline;");
}

} // namespace wsim_timeseries
