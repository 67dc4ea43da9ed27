// The exporter's JSON writers. Each appends to one buffer: a nested record is
// written in place, never built apart and copied into its parent, so the cost
// follows the size of the text.
#include "cfg_builder.h"

#include "json_escape.h"

#include <ranges>

namespace {

// `I` + two blanks + "key": "value", the value escaped.
void textMember(std::string& out, const std::string& I, const char* key,
                const std::string& value) {
    out += I;
    out += "  \"";
    out += key;
    out += "\": \"";
    append_json_escaped(out, value);
    out += '"';
}

void numberMember(std::string& out, const std::string& I, const char* key, int value) {
    out += I;
    out += "  \"";
    out += key;
    out += "\": ";
    out += std::to_string(value);
}

// Items written by `write` and joined by ",\n", with a final newline when
// there is any item.
template <typename Range, typename Writer>
void joinedLines(std::string& out, const Range& items, Writer write) {
    bool any = false;
    for (const auto& item : items) {
        if (any)
            out += ",\n";
        write(item);
        any = true;
    }
    if (any)
        out += "\n";
}

// "key": [ items ] spread over lines, closed at the member's indent.
template <typename T, typename Writer>
void arrayMember(std::string& out, const std::string& I, const char* key,
                 const std::vector<T>& items, Writer write) {
    out += I;
    out += "  \"";
    out += key;
    out += "\": [\n";
    joinedLines(out, items, write);
    out += I;
    out += "  ]";
}

void appendExpr(std::string& out, const CFGExpr& e, const std::string& I) {
    out += I;
    out += "{\n";
    textMember(out, I, "kind", e.kind);
    const auto member = [&](const char* key, const std::string& value) {
        out += ",\n";
        textMember(out, I, key, value);
    };
    if (e.kind == "signal") {
        member("name", e.name);
    } else if (e.kind == "constant") {
        member("value", e.value);
    } else if (e.kind == "unary_op") {
        member("op", e.op);
        member("operand", e.operand);
    } else if (e.kind == "binary_op") {
        member("op", e.op);
        member("left", e.left);
        member("right", e.right);
    }
    out += "\n";
    out += I;
    out += "}";
}

// Branches recurse: the exporter never records them deeper than the nesting limit.
void appendStmt(std::string& out, const CFGStatement& s, const std::string& I) {
    out += I;
    out += "{\n";
    textMember(out, I, "id", s.id);
    out += ",\n";
    textMember(out, I, "kind", s.kind);
    out += ",\n";
    numberMember(out, I, "line", s.line);
    if (s.kind == "blocking_assign" || s.kind == "nonblocking_assign" ||
        s.kind == "continuous_assign") {
        out += ",\n";
        textMember(out, I, "lhs", s.lhs);
        out += ",\n";
        out += I;
        out += "  \"rhs\": ";
        appendExpr(out, s.rhs, I + "  ");
    } else if (s.kind == "if_branch") {
        const std::string nested_indent = I + "    ";
        const auto nested = [&](const CFGStatement& t) { appendStmt(out, t, nested_indent); };
        out += ",\n";
        textMember(out, I, "condition", s.condition_signal);
        out += ",\n";
        out += I;
        out += "  \"condition_expr\": ";
        appendExpr(out, s.rhs, I + "  ");
        out += ",\n";
        arrayMember(out, I, "true_branch", s.true_branch, nested);
        if (!s.false_branch.empty()) {
            out += ",\n";
            arrayMember(out, I, "false_branch", s.false_branch, nested);
        }
    }
    out += "\n";
    out += I;
    out += "}";
}

void appendBlock(std::string& out, const CFGBlock& b, const std::string& I) {
    out += I;
    out += "{\n";
    textMember(out, I, "id", b.id);
    out += ",\n";
    textMember(out, I, "kind", b.kind);
    out += ",\n";
    textMember(out, I, "label", b.label);
    out += ",\n";
    textMember(out, I, "trigger", b.trigger);
    out += ",\n";
    numberMember(out, I, "line", b.line);
    out += ",\n";
    const std::string inner = I + "    ";
    arrayMember(out, I, "statements", b.statements,
                [&](const CFGStatement& s) { appendStmt(out, s, inner); });
    out += "\n";
    out += I;
    out += "}";
}

void appendSignal(std::string& out, const CFGSignal& s, const std::string& I) {
    out += I;
    out += "{\n";
    textMember(out, I, "name", s.name);
    out += ",\n";
    textMember(out, I, "kind", s.kind);
    out += ",\n";
    numberMember(out, I, "width", s.width);
    out += ",\n";
    numberMember(out, I, "line", s.line);
    out += "\n";
    out += I;
    out += "}";
}

void appendPort(std::string& out, const CFGPort& p, const std::string& I) {
    out += I;
    out += "{\n";
    textMember(out, I, "name", p.name);
    out += ",\n";
    textMember(out, I, "direction", p.direction);
    out += ",\n";
    numberMember(out, I, "width", p.width);
    out += ",\n";
    numberMember(out, I, "line", p.line);
    out += "\n";
    out += I;
    out += "}";
}

void appendModule(std::string& out, const CFGModuleDef& m, const std::string& I) {
    const std::string inner = I + "    ";
    out += I;
    out += '"';
    append_json_escaped(out, m.name);
    out += "\": {\n";
    textMember(out, I, "name", m.name);
    out += ",\n";
    textMember(out, I, "file", m.file);
    out += ",\n";
    numberMember(out, I, "line", m.line);
    out += ",\n";
    arrayMember(out, I, "ports", m.ports, [&](const CFGPort& p) { appendPort(out, p, inner); });
    out += ",\n";
    arrayMember(out, I, "signals", m.signals,
                [&](const CFGSignal& s) { appendSignal(out, s, inner); });
    out += ",\n";
    arrayMember(out, I, "blocks", m.blocks,
                [&](const CFGBlock& b) { appendBlock(out, b, inner); });
    out += ",\n";
    out += I;
    out += "  \"instances\": [";
    for (size_t i = 0; i < m.instance_ids.size(); ++i) {
        if (i > 0)
            out += ", ";
        out += '"';
        append_json_escaped(out, m.instance_ids[i]);
        out += '"';
    }
    out += "]\n";
    out += I;
    out += "}";
}

void appendBinding(std::string& out, const CFGPortBinding& b, const std::string& I) {
    out += I;
    out += "{\n";
    textMember(out, I, "port", b.port);
    out += ",\n";
    textMember(out, I, "kind", b.kind);
    out += ",\n";
    textMember(out, I, "connects_module", b.connects_module);
    out += ",\n";
    textMember(out, I, "connects_signal", b.connects_signal);
    out += "\n";
    out += I;
    out += "}";
}

void appendInstance(std::string& out, const CFGInstance& i, const std::string& I) {
    out += I;
    out += '"';
    out += std::to_string(i.id);
    out += "\": {\n";
    textMember(out, I, "instance_name", i.instance_name);
    out += ",\n";
    textMember(out, I, "module", i.module_id);
    out += ",\n";
    textMember(out, I, "parent", i.parent_module_id);
    out += ",\n";
    numberMember(out, I, "line", i.line);
    out += ",\n";
    const std::string inner = I + "    ";
    arrayMember(out, I, "port_bindings", i.port_bindings,
                [&](const CFGPortBinding& b) { appendBinding(out, b, inner); });
    out += "\n";
    out += I;
    out += "}";
}

// One end of a dataflow edge: the instance and port when the instance is set.
void appendEdgeEnd(std::string& out, const std::string& I, const std::string& module,
                   const std::string& signal, const std::string& instance,
                   const std::string& port) {
    const std::string inner = I + "  ";
    if (!instance.empty()) {
        textMember(out, inner, "instance", instance);
        out += ",\n";
        textMember(out, inner, "port", port);
    } else {
        textMember(out, inner, "module", module);
        out += ",\n";
        textMember(out, inner, "signal", signal);
    }
    out += "\n";
}

void appendEdge(std::string& out, const CFGDataflowEdge& e, const std::string& I) {
    out += I;
    out += "{\n";
    textMember(out, I, "kind", e.kind);
    out += ",\n";
    out += I;
    out += "  \"from\": {\n";
    appendEdgeEnd(out, I, e.from_module, e.from_signal, e.from_instance, e.from_port);
    out += I;
    out += "  },\n";
    out += I;
    out += "  \"to\": {\n";
    appendEdgeEnd(out, I, e.to_module, e.to_signal, e.to_instance, e.to_port);
    out += I;
    out += "  }\n";
    out += I;
    out += "}";
}

// A writer's text on its own.
template <typename Record, typename Append>
std::string written(const Record& record, const std::string& I, Append append) {
    std::string out;
    append(out, record, I);
    return out;
}

} // namespace

std::string CFGBuilder::exprToJson(const CFGExpr& e, const std::string& I) const {
    return written(e, I, appendExpr);
}

std::string CFGBuilder::stmtToJson(const CFGStatement& s, const std::string& I) const {
    return written(s, I, appendStmt);
}

std::string CFGBuilder::blockToJson(const CFGBlock& b, const std::string& I) const {
    return written(b, I, appendBlock);
}

std::string CFGBuilder::signalToJson(const CFGSignal& s, const std::string& I) const {
    return written(s, I, appendSignal);
}

std::string CFGBuilder::portToJson(const CFGPort& p, const std::string& I) const {
    return written(p, I, appendPort);
}

std::string CFGBuilder::moduleToJson(const CFGModuleDef& m, const std::string& I) const {
    return written(m, I, appendModule);
}

std::string CFGBuilder::bindingToJson(const CFGPortBinding& b, const std::string& I) const {
    return written(b, I, appendBinding);
}

std::string CFGBuilder::instanceToJson(const CFGInstance& i, const std::string& I) const {
    return written(i, I, appendInstance);
}

std::string CFGBuilder::dataflowEdgeToJson(const CFGDataflowEdge& e, const std::string& I) const {
    return written(e, I, appendEdge);
}

std::string CFGBuilder::to_json() const {
    const std::string I = "    ";
    std::string out = "{\n  \"design\": {\n    \"top\": \"";
    append_json_escaped(out, top_module_id);
    out += "\"\n  },\n";

    out += "  \"modules\": {\n";
    joinedLines(out, std::views::values(module_defs),
                [&](const CFGModuleDef& d) { appendModule(out, d, I); });
    out += "  },\n";

    out += "  \"instances\": {\n";
    joinedLines(out, std::views::values(instances),
                [&](const CFGInstance& i) { appendInstance(out, i, I); });
    out += "  },\n";

    out += "  \"dataflow\": [\n";
    joinedLines(out, dataflow, [&](const CFGDataflowEdge& e) { appendEdge(out, e, I); });
    out += "  ]\n}\n";
    return out;
}

std::string CFGBuilder::getModuleByName(std::string n) const {
    const auto it = module_defs.find(n);
    if (it == module_defs.end())
        return "{}\n";
    std::string out = "\"modules\": {\n";
    appendModule(out, it->second, "   ");
    out += "}\n";
    return out;
}
