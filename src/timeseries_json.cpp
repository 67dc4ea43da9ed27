// The recorder's JSON documents, written by hand in a fixed layout. Every
// string value and key goes through the shared escaper.
#include "json_escape.h"
#include "kernel.h"
#include "timeseries.h"

#include <string>

namespace wsim_timeseries {

namespace {

// Appends `items` written by `write_one`, joined by `separator`.
template <typename Range, typename F>
void append_joined(std::string& out, const Range& items, const char* separator, F&& write_one) {
    bool first = true;
    for (const auto& item : items) {
        if (!first)
            out += separator;
        first = false;
        write_one(item);
    }
}

void append_quoted(std::string& out, const std::string& text) {
    out += '"';
    append_json_escaped(out, text);
    out += '"';
}

const char* bool_text(bool b) { return b ? "true" : "false"; }

void append_signal_entry(std::string& out, const SignalInfo& s) {
    out += "    { \"name\": ";
    append_quoted(out, s.name);
    out += ", \"id\": ";
    append_quoted(out, s.id);
    out += ", \"line\": " + std::to_string(s.line);
    out += ", \"isReg\": ";
    out += bool_text(s.isReg);
    out += ", \"isPort\": ";
    out += bool_text(s.isPort);
    out += ", \"width\": " + std::to_string(s.width);
    out += ", \"type\": \"";
    out += s.isReg ? "reg" : "wire";
    out += "\" }";
}

void append_signal_entries(std::string& out, const std::map<std::string, SignalInfo>& signals) {
    append_joined(out, signals, ",\n",
                  [&](const auto& entry) { append_signal_entry(out, entry.second); });
}

// The body of one step, every line prefixed by `indent` ("  " for the step
// document, "      " inside the whole-run timeline).
void append_step_members(std::string& out, const TimelineStep& step, const std::string& indent) {
    out += indent + "\"step\": " + std::to_string(step.step) + ",\n";
    out += indent + "\"simulationTime\": " + std::to_string(step.simulationTime) + ",\n";
    out += indent + "\"currentLine\": ";
    out += step.currentLine == -1 ? std::string("null") : std::to_string(step.currentLine);
    out += ",\n";
    out += indent + "\"causeLines\": [";
    append_joined(out, step.causeLines, ", ", [&](int line) { out += std::to_string(line); });
    out += "],\n";

    out += indent + "\"queues\": {\n";
    const std::pair<const char*, const std::vector<QueueItem>*> line_queues[] = {
        {"active", &step.queues.active},   {"inactive", &step.queues.inactive},
        {"nba", &step.queues.nba},         {"monitor", &step.queues.monitor},
        {"observed", &step.queues.observed}};
    for (const auto& [name, items] : line_queues) {
        out += indent + "  \"" + name + "\": [";
        append_joined(out, *items, ", ",
                      [&](const QueueItem& item) { out += std::to_string(item.line); });
        out += "],\n";
    }
    out += indent + "  \"future\": [";
    append_joined(out, step.queues.future, ", ", [&](const QueueItem& item) {
        out += "{\"line\": " + std::to_string(item.line) +
               ", \"when\": " + std::to_string(item.when) + "}";
    });
    out += "]\n" + indent + "},\n";

    out += indent + "\"signalState\": {\n";
    append_joined(out, step.signalState, ",\n", [&](const auto& entry) {
        out += indent + "  ";
        append_quoted(out, entry.first);
        out += ": " + std::to_string(entry.second);
    });
    out += "\n" + indent + "},\n";

    out += indent + "\"propertyState\": {\n";
    append_joined(out, step.propertyState, ",\n", [&](const auto& entry) {
        out += indent + "  ";
        append_quoted(out, entry.first);
        out += ": ";
        append_quoted(out, entry.second);
    });
    out += "\n" + indent + "}";
}

struct change {
    time_t time;
    const std::string* name;
    int64_t value;
};

// Every value change over the steps, as get_total_changes() counts them.
std::vector<change> collect_changes(const std::vector<TimelineStep>& timeline) {
    std::vector<change> changes;
    for_each_change(timeline, [&changes](const TimelineStep& step, const std::string& name,
                                         int64_t value) {
        changes.push_back({step.simulationTime, &name, value});
    });
    return changes;
}

// The members a property's summary adds, each after ",".
void append_summary_members(std::string& out, const PropertyResult& p, bool compact) {
    const char* gap = compact ? "" : " ";
    out += std::string(",") + gap + "\"finalResult\":" + gap;
    append_quoted(out, p.finalResult);
    out += std::string(",") + gap + "\"evaluations\":" + gap + std::to_string(p.evaluations);
    out += std::string(",") + gap + "\"failures\":" + gap + std::to_string(p.failureCount);
}

} // namespace

std::string TimeSeriesDB::selected_timestep_to_json(int index) const {
    std::string out = "{\n";
    if (index < 0 || static_cast<size_t>(index) >= timeline.size()) {
        out += "  \"step\": -1\n}\n";
        return out;
    }
    append_step_members(out, timeline[static_cast<size_t>(index)], "  ");
    out += "\n}\n";
    return out;
}

std::string TimeSeriesDB::curr_timestep_to_json() const { return selected_timestep_to_json(cursor); }

std::string TimeSeriesDB::module_node_to_json(const std::shared_ptr<ModuleNode>& node,
                                              const std::string& indent) {
    std::string out = indent + "{\n";
    out += indent + "  \"name\": ";
    append_quoted(out, node->name);
    out += ",\n" + indent + "  \"definition\": ";
    append_quoted(out, node->definition);
    out += ",\n" + indent + "  \"path\": ";
    append_quoted(out, node->path);
    out += ",\n" + indent + "  \"line\": " + std::to_string(node->line) + ",\n";
    out += indent + "  \"signals\": [";
    append_joined(out, node->signals, ", ", [&](const std::string& s) { append_quoted(out, s); });
    out += "],\n";
    out += indent + "  \"children\": [\n";
    append_joined(out, node->children, ",\n", [&](const std::shared_ptr<ModuleNode>& child) {
        out += module_node_to_json(child, indent + "    ");
    });
    if (!node->children.empty())
        out += "\n";
    out += indent + "  ]\n";
    out += indent + "}";
    return out;
}

std::string TimeSeriesDB::hierarchy_to_json(const std::string& indent) const {
    std::string out = "\"hierarchy\": [\n";
    append_joined(out, hierarchy_roots, ",\n", [&](const std::shared_ptr<ModuleNode>& root) {
        out += module_node_to_json(root, indent + "  ");
    });
    if (!hierarchy_roots.empty())
        out += "\n";
    out += indent + "]";
    return out;
}

std::string TimeSeriesDB::eval_event_to_json(const PropertyEvalEvent& event,
                                             const std::string& indent) {
    std::string out = indent + "{\n";
    out += indent + "  \"propertyId\": " + std::to_string(event.propertyId) + ",\n";
    out += indent + "  \"label\": ";
    append_quoted(out, event.label);
    out += ",\n" + indent + "  \"time\": " + std::to_string(event.time) + ",\n";
    out += indent + "  \"result\": ";
    append_quoted(out, event.result);
    out += "\n" + indent + "}";
    return out;
}

std::string TimeSeriesDB::events_recorded_until_json(bool compact) const {
    const char* gap = compact ? "" : " ";
    const time_t last = all_eval_events.empty() ? 0 : all_eval_events.back().time;
    return std::string("{\"events\":") + gap + std::to_string(all_eval_events.size()) + "," +
           gap + "\"time\":" + gap + std::to_string(last) + "}";
}

std::string TimeSeriesDB::events_recorded_until_member(const std::string& indent) const {
    if (!events_stopped)
        return "";
    return ",\n" + indent + "\"eventsRecordedUntil\": " + events_recorded_until_json(false);
}

std::string TimeSeriesDB::property_summaries_json(const std::string& indent, bool compact) const {
    std::string out = compact ? "[" : "[\n";
    append_joined(out, property_results, compact ? "," : ",\n", [&](const PropertyResult& p) {
        out += compact ? "{\"label\":" : indent + "  {\"label\": ";
        append_quoted(out, p.label);
        append_summary_members(out, p, compact);
        out += "}";
    });
    return out + (compact ? "]" : "\n" + indent + "]");
}

std::string not_modelled_json(const std::vector<NotModelledEntry>& entries) {
    std::string out = "[";
    append_joined(out, entries, ", ", [&](const NotModelledEntry& e) {
        out += "{\"file\": ";
        append_quoted(out, e.file);
        out += ", \"line\": " + std::to_string(e.line) + ", \"construct\": ";
        append_quoted(out, e.construct);
        out += "}";
    });
    return out + "]";
}

std::string recorded_until_member(const RunMeta& meta, const std::string& indent) {
    if (!meta.recorded_until)
        return "";
    return ",\n" + indent + "\"recordedUntil\": {\"step\": " +
           std::to_string(meta.recorded_until->step) +
           ", \"time\": " + std::to_string(meta.recorded_until->time) + "}";
}

std::string TimeSeriesDB::simulation_init_to_json(bool success, const std::string& error,
                                                  time_t final_time, const RunMeta& meta) const {
    std::string out = "{\n";
    out += "  \"success\": ";
    out += bool_text(success);
    out += ",\n  \"error\": ";
    append_quoted(out, error);
    out += ",\n  \"meta\": {\n";
    out += "    \"finalTime\": " + std::to_string(final_time) + ",\n";
    out += "    \"totalCycles\": " + std::to_string(timeline.size()) + ",\n";
    out += "    \"totalChanges\": " + std::to_string(get_total_changes()) + ",\n";
    out += "    \"stopReason\": ";
    append_quoted(out, meta.stop_reason);
    out += ",\n    \"notModelled\": " + not_modelled_json(meta.not_modelled);
    out += recorded_until_member(meta, "    ");
    out += events_recorded_until_member("    ");
    out += "\n  },\n";
    out += "  \"signals\": [\n";
    append_signal_entries(out, signals);
    out += "\n  ],\n";
    out += "  \"properties\": [\n";
    append_joined(out, property_results, ",\n", [&](const PropertyResult& p) {
        out += "    { \"label\": ";
        append_quoted(out, p.label);
        out += ", \"line\": " + std::to_string(p.line) + ", \"antecedentSignal\": ";
        append_quoted(out, p.antecedentSignal);
        out += ", \"consequentSignal\": ";
        append_quoted(out, p.consequentSignal);
        if (events_stopped)
            append_summary_members(out, p, false);
        out += " }";
    });
    out += "\n  ],\n";
    out += "  " + hierarchy_to_json("  ") + "\n";
    out += "}\n";
    return out;
}

std::string TimeSeriesDB::to_json(bool success, const std::string& error, time_t final_time,
                                  const RunMeta& meta) const {
    const auto& config = wsim_kernel::sim_state::instance().sim_config;

    std::string out = "{\n";
    out += "  \"success\": ";
    out += bool_text(success);
    out += ",\n  \"error\": ";
    append_quoted(out, error);
    out += ",\n  \"finalTime\": " + std::to_string(final_time) + ",\n";
    out += "  \"totalChanges\": " + std::to_string(get_total_changes()) + ",\n";
    out += "  \"simulationStartTime\": " + std::to_string(config.start_time) + ",\n";
    out += "  \"timeUnit\": ";
    append_quoted(out, config.time_unit);
    out += ",\n";
    out += "  \"meta\": {\n    \"stopReason\": ";
    append_quoted(out, meta.stop_reason);
    out += ",\n    \"notModelled\": " + not_modelled_json(meta.not_modelled);
    out += recorded_until_member(meta, "    ");
    out += events_recorded_until_member("    ");
    out += "\n  },\n";
    out += "  " + hierarchy_to_json("  ") + ",\n";
    out += "  \"simulation\": {\n";

    out += "    \"signals\": [\n";
    append_signal_entries(out, signals);
    out += "\n    ],\n";

    out += "    \"changes\": [\n";
    append_joined(out, collect_changes(timeline), ",\n", [&](const change& c) {
        out += "      { \"time\": " + std::to_string(c.time) + ", \"signal\": ";
        append_quoted(out, *c.name);
        out += ", \"value\": " + std::to_string(c.value) + " }";
    });
    out += "\n    ],\n";

    out += "    \"assertionEvents\": [\n";
    std::vector<const PropertyEvalEvent*> definite;
    for (const PropertyEvalEvent& e : all_eval_events)
        if (e.result == "PASS" || e.result == "FAIL")
            definite.push_back(&e);
    append_joined(out, definite, ",\n", [&](const PropertyEvalEvent* e) {
        out += eval_event_to_json(*e, "      ");
    });
    out += "\n    ],\n";
    if (events_stopped)
        out += "    \"properties\": " + property_summaries_json("    ", false) + ",\n";

    out += "    \"timeline\": [\n";
    append_joined(out, timeline, ",\n", [&](const TimelineStep& step) {
        out += "    {\n";
        append_step_members(out, step, "      ");
        out += "\n    }";
    });
    out += "\n    ]\n  }\n}\n";
    return out;
}

} // namespace wsim_timeseries
