// The timeline recorder: every scheduler step of a run, kept in memory and
// written to the project database.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace wsim_timeseries {

using time_t = uint64_t;

struct QueueItem {
    int file_id = -1;
    int line = -1;
    time_t when = 0;
    std::string instance_id;

    QueueItem() = default;
    QueueItem(int file_id, int line, time_t when, std::string instance_id)
        : file_id(file_id), line(line), when(when), instance_id(std::move(instance_id)) {}

    // The file id takes no part: the line, time and instance identify an entry.
    bool operator==(const QueueItem& other) const {
        return line == other.line && when == other.when && instance_id == other.instance_id;
    }
};

struct QueueState {
    std::vector<QueueItem> active;
    std::vector<QueueItem> inactive;
    std::vector<QueueItem> nba;
    std::vector<QueueItem> monitor;
    std::vector<QueueItem> observed;
    std::vector<QueueItem> future;

    void clear() {
        active.clear();
        inactive.clear();
        nba.clear();
        monitor.clear();
        observed.clear();
        future.clear();
    }
    bool operator==(const QueueState&) const = default;
};

struct TimelineStep {
    int step = 0;
    time_t simulationTime = 0;
    int currentLine = -1;
    std::vector<int> causeLines;
    QueueState queues;
    std::map<std::string, int64_t> signalState;
    std::map<std::string, std::string> propertyState;

    TimelineStep(int step, time_t simulationTime, int currentLine)
        : step(step), simulationTime(simulationTime), currentLine(currentLine) {}
};

struct SignalInfo {
    std::string name;
    std::string id;
    int line = 0;
    bool isPort = false;
    bool isReg = false;
    int width = 0;

    SignalInfo() = default;
    SignalInfo(std::string name, std::string id, int line, bool isPort, bool isReg, int width)
        : name(std::move(name)), id(std::move(id)), line(line), isPort(isPort), isReg(isReg),
          width(width) {}
};

struct ModuleNode {
    std::string name;
    std::string definition;
    std::string path;
    int line = 0;
    std::vector<std::string> signals;
    std::vector<std::shared_ptr<ModuleNode>> children;

    ModuleNode(std::string name, std::string definition, std::string path, int line)
        : name(std::move(name)), definition(std::move(definition)), path(std::move(path)),
          line(line) {}
};

struct PropertyEvalEvent {
    int propertyId = 0;
    std::string label;
    time_t time = 0;
    std::string result;
};

struct PropertyResult {
    std::string label;
    int line = 0;
    std::string antecedentSignal;
    std::string consequentSignal;
    std::string finalResult = "VACUOUS";
    // The failures among the recorded events only; the counts cover the
    // whole run, past the event limit too.
    std::vector<PropertyEvalEvent> failures;
    int64_t evaluations = 0;
    int64_t failureCount = 0;
};

// A construct the model left out of a run: where, and what.
struct NotModelledEntry {
    std::string file;
    int line = 0;
    std::string construct;
};

// The last step the recorder kept, when it stopped recording before the run
// ended; step and time are -1 when it kept none.
struct RecordedUntil {
    int step = -1;
    int64_t time = -1;
};

// What a run's answer says about the run as a whole, inside "meta".
struct RunMeta {
    std::string stop_reason = "none";
    std::vector<NotModelledEntry> not_modelled;
    std::optional<RecordedUntil> recorded_until;
};

// `,\n<indent>"recordedUntil": {"step": S, "time": T}`, or "" while the recorder
// kept every step: the member that follows "notModelled" in "meta".
std::string recorded_until_member(const RunMeta& meta, const std::string& indent);

// Calls `f` with every change of a signal's value from one step to the next,
// and with every signal's first value that is not 0, in step and name order.
void for_each_change(const std::vector<TimelineStep>& timeline,
                     const std::function<void(const TimelineStep&, const std::string&, int64_t)>& f);
// How many values of `now` for_each_change finds changed after the step
// `before` (none: the first step).
int changes_since(const std::map<std::string, int64_t>* before,
                  const std::map<std::string, int64_t>& now);

// `"notModelled": [...]` of a run: one compact object per entry.
std::string not_modelled_json(const std::vector<NotModelledEntry>& entries);

class TimeSeriesDB {
public:
    // Steps are no longer recorded once the timeline holds this many rows (one
    // per signal of a step, in the table and in memory alike).
    static constexpr int kRowLimit = 20000;
    // Later steps keep no queue entries once this many queue rows were written.
    static constexpr int kQueueRowLimit = 200000;
    // Later steps keep no property states once this many state rows were written.
    static constexpr int kPropertyRowLimit = 200000;
    // A run stores this many assertion events (in memory and in the table);
    // later ones only count in their property's summary.
    static constexpr int kEventLimit = 20000;

    static TimeSeriesDB& instance();
    TimeSeriesDB(const TimeSeriesDB&) = delete;
    TimeSeriesDB& operator=(const TimeSeriesDB&) = delete;

    void register_module(const std::string& instance_name, const std::string& definition_name,
                         const std::string& parent_path, int line);
    void register_line_instance(int line, const std::string& instance_id);
    void set_line_ctx_map(std::vector<std::pair<int, int>> table);
    void register_signal(const std::string& name, int line, bool is_port, bool is_reg, int width);
    void register_signal_in_scope(const std::string& signal_name, const std::string& scope_path);

    void record_signal_change(const std::string& name, int64_t value);
    void record_cause_line(const std::string& process_name);

    // `instance`: the path of the instance that holds the property, from the
    // top module's name, as the property's database row keeps it.
    void register_property(const std::string& label, int line, const std::string& ant_signal,
                           const std::string& con_signal, const std::string& instance = "");
    void record_property_result(const std::string& label, int line, const std::string& result,
                                time_t sim_time);

    void record_timeline_step(time_t sim_time, int current_line, QueueState queues);

    std::string resolve_instance_for_line(int line) const;
    int get_instance_line(const std::string& name) const;
    std::pair<int, int> get_line_context(int index) const;

    bool step_forward();
    bool step_backward();
    static int get_cursor() { return cursor; }

    const std::vector<TimelineStep>& get_timeline() const { return timeline; }
    const std::map<std::string, SignalInfo>& get_signals() const { return signals; }
    const std::vector<PropertyEvalEvent>& get_all_events() const { return all_eval_events; }
    const std::vector<PropertyResult>& get_property_results() const { return property_results; }
    const std::vector<std::shared_ptr<ModuleNode>>& get_hierarchy_roots() const {
        return hierarchy_roots;
    }
    const std::map<std::string, int64_t>& get_current_signal_state() const {
        return current_signal_state;
    }
    const std::map<std::string, std::string>& get_current_property_state() const {
        return current_property_state;
    }
    int get_total_changes() const;
    bool is_recording_stopped() const { return exceed_flag != 0; }
    // Where recording stopped; none while it goes on.
    std::optional<RecordedUntil> recorded_until() const;
    bool is_queue_recording_stopped() const { return queue_rows_stopped; }
    bool is_property_state_recording_stopped() const { return property_rows_stopped; }
    bool is_event_recording_stopped() const { return events_stopped; }
    // Whether this run's steps and events went to the project database.
    bool writes_database() const { return database_writes; }

    void clear();

    // Whether steps, properties and clear() reach the project database; off,
    // the recorder keeps everything in memory only (a text run does not
    // belong in the project's tables).
    void set_database_writes(bool on) { database_writes = on; }

    // While held, the steps' rows go into one transaction, committed when the
    // hold ends: a commit per step would copy the pages it touched each time.
    // `rows_only`: the run records no property, so only timeline and queue
    // rows go in while held, and their keys are checked without SQLite.
    void hold_writes(bool rows_only = false);
    void release_writes();

    // JSON documents for the host, written by hand in a fixed layout.
    // `meta` goes into "meta" as "stopReason" and "notModelled".
    std::string to_json(bool success, const std::string& error, time_t final_time,
                        const RunMeta& meta = {}) const;
    std::string simulation_init_to_json(bool success, const std::string& error,
                                        time_t final_time, const RunMeta& meta = {}) const;
    std::string selected_timestep_to_json(int index) const;
    std::string curr_timestep_to_json() const;
    std::string hierarchy_to_json(const std::string& indent) const;
    static std::string module_node_to_json(const std::shared_ptr<ModuleNode>& node,
                                           const std::string& indent);
    static std::string eval_event_to_json(const PropertyEvalEvent& event,
                                          const std::string& indent);
    // Once events stopped: how many were kept and the time of the last one
    // (`{"events": N, "time": T}`), that object as the member of "meta" that
    // follows "recordedUntil" ("" while events are kept), and each property's
    // summary for the whole run, one object a line after `indent`. `compact`
    // leaves out the spaces, as SQLite's JSON functions write.
    std::string events_recorded_until_json(bool compact) const;
    std::string events_recorded_until_member(const std::string& indent) const;
    std::string property_summaries_json(const std::string& indent, bool compact) const;

private:
    TimeSeriesDB() = default;
    bool row_limit_reached();
    // A property's entry in current_property_state, and its summary's index
    // once it has one (-1 before).
    struct TrackedProperty {
        std::string* state = nullptr;
        int summary = -1;
    };
    TrackedProperty& track(const std::string& label);
    PropertyResult& summary_of(TrackedProperty& tracked, const std::string& label, int line,
                               const std::string& instance = "");
    bool keeps_event(time_t sim_time);
    void keep_property_states(TimelineStep& record);
    // Looks up the signals' rows in the signals table, once until a signal is registered.
    void find_signal_rows();
    // The distinct entries of each queue, in queue order, with the queue's
    // name: the rows a step writes. They point into `queues`.
    using QueueRowRefs = std::vector<std::pair<const char*, const QueueItem*>>;
    static QueueRowRefs rows_of(const QueueState& queues);
    void write_queue_rows(int step, const QueueRowRefs& rows);
    void write_step_rows(const TimelineStep& record, const QueueRowRefs& rows, int file_id,
                         int source_line);

    std::vector<TimelineStep> timeline;
    std::map<std::string, SignalInfo> signals;
    std::map<std::string, int64_t> current_signal_state;
    int step_counter = 0;
    int total_changes = 0; // over `timeline`, counted as each step goes in
    static int cursor;
    std::vector<std::shared_ptr<ModuleNode>> hierarchy_roots;
    std::map<std::string, std::shared_ptr<ModuleNode>> node_by_path;
    std::vector<int> pending_cause_lines;
    std::map<int, std::string> _line_to_instance_id;
    std::vector<std::pair<int, int>> _line_ctx_map;
    std::vector<PropertyResult> property_results;
    std::map<std::string, std::string> current_property_state;
    // Points into current_property_state: cleared with it.
    std::unordered_map<std::string, TrackedProperty> tracked_properties;
    std::vector<PropertyEvalEvent> all_eval_events;
    int next_event_id = 0;
    bool events_stopped = false;
    std::map<std::string, int> instance_line_map;
    int exceed_flag = 0;
    bool database_writes = true;
    bool writes_held = false;
    bool held_transaction_open = false;
    bool indexes_dropped = false; // by the held transaction, to be built at its end
    bool held_rows_only = false;

    // Rows of the steps kept in `timeline`, and of the database's timeline table
    // (counted once per run, then followed insert by insert; -1 until counted).
    int recorded_rows = 0;
    int table_rows = -1;
    int queue_rows = 0;
    bool queue_rows_stopped = false;
    // Once queue rows stop, steps keep no queues; repeated steps are still
    // told apart by the queues they were given.
    QueueState last_queues;
    int property_rows = 0;
    bool property_rows_stopped = false;
    // The signals table's id of each registered signal, in name order (-1: it
    // has no row, and is never written); the names without one, told once.
    bool signal_rows_checked = false;
    std::vector<int64_t> signal_row_ids;
    std::set<std::string> signals_without_rows;
};

} // namespace wsim_timeseries
