#include "cfg_builder.h"

#include "json_escape.h"

#include <ranges>

namespace {

// `I` + two blanks + "key": "value", the value escaped.
std::string textMember(const std::string& I, const char* key, const std::string& value) {
    std::string out = I + "  \"" + key + "\": \"";
    append_json_escaped(out, value);
    return out + "\"";
}

std::string numberMember(const std::string& I, const char* key, int value) {
    return I + "  \"" + key + "\": " + std::to_string(value);
}

// Item texts joined by ",\n", with a final newline when there is any item.
template<typename Range, typename Writer>
std::string joinedLines(const Range& items, Writer write) {
    std::string out;
    bool any = false;
    for (const auto& item : items) {
        if (any)
            out += ",\n";
        out += write(item);
        any = true;
    }
    if (any)
        out += "\n";
    return out;
}

// "key": [ items ] spread over lines, closed at the member's indent.
template<typename T, typename Writer>
std::string arrayMember(const std::string& I, const char* key, const std::vector<T>& items,
                        Writer write) {
    return I + "  \"" + key + "\": [\n" + joinedLines(items, write) + I + "  ]";
}

// One end of a dataflow edge: the instance and port when the instance is set.
std::string edgeEnd(const std::string& I, const std::string& module, const std::string& signal,
                    const std::string& instance, const std::string& port) {
    const std::string inner = I + "  ";
    if (!instance.empty())
        return textMember(inner, "instance", instance) + ",\n" + textMember(inner, "port", port) +
               "\n";
    return textMember(inner, "module", module) + ",\n" + textMember(inner, "signal", signal) +
           "\n";
}

} // namespace

std::string CFGBuilder::exprToJson(const CFGExpr& e, const std::string& I) const {
    std::string out = I + "{\n" + textMember(I, "kind", e.kind);
    if (e.kind == "signal") {
        out += ",\n" + textMember(I, "name", e.name);
    } else if (e.kind == "constant") {
        out += ",\n" + textMember(I, "value", e.value);
    } else if (e.kind == "unary_op") {
        out += ",\n" + textMember(I, "op", e.op) + ",\n" + textMember(I, "operand", e.operand);
    } else if (e.kind == "binary_op") {
        out += ",\n" + textMember(I, "op", e.op) + ",\n" + textMember(I, "left", e.left) + ",\n" +
               textMember(I, "right", e.right);
    }
    return out + "\n" + I + "}";
}

std::string CFGBuilder::stmtToJson(const CFGStatement& s, const std::string& I) const {
    std::string out = I + "{\n" + textMember(I, "id", s.id) + ",\n" +
                      textMember(I, "kind", s.kind) + ",\n" + numberMember(I, "line", s.line);
    const auto nested = [&](const CFGStatement& t) { return stmtToJson(t, I + "    "); };
    if (s.kind == "blocking_assign" || s.kind == "nonblocking_assign" ||
        s.kind == "continuous_assign") {
        out += ",\n" + textMember(I, "lhs", s.lhs) + ",\n" + I +
               "  \"rhs\": " + exprToJson(s.rhs, I + "  ");
    } else if (s.kind == "if_branch") {
        out += ",\n" + textMember(I, "condition", s.condition_signal) + ",\n" + I +
               "  \"condition_expr\": " + exprToJson(s.rhs, I + "  ") + ",\n" +
               arrayMember(I, "true_branch", s.true_branch, nested);
        if (!s.false_branch.empty())
            out += ",\n" + arrayMember(I, "false_branch", s.false_branch, nested);
    }
    return out + "\n" + I + "}";
}

std::string CFGBuilder::blockToJson(const CFGBlock& b, const std::string& I) const {
    return I + "{\n" + textMember(I, "id", b.id) + ",\n" + textMember(I, "kind", b.kind) + ",\n" +
           textMember(I, "label", b.label) + ",\n" + textMember(I, "trigger", b.trigger) + ",\n" +
           numberMember(I, "line", b.line) + ",\n" +
           arrayMember(I, "statements", b.statements,
                       [&](const CFGStatement& s) { return stmtToJson(s, I + "    "); }) +
           "\n" + I + "}";
}

std::string CFGBuilder::signalToJson(const CFGSignal& s, const std::string& I) const {
    return I + "{\n" + textMember(I, "name", s.name) + ",\n" + textMember(I, "kind", s.kind) +
           ",\n" + numberMember(I, "width", s.width) + ",\n" + numberMember(I, "line", s.line) +
           "\n" + I + "}";
}

std::string CFGBuilder::portToJson(const CFGPort& p, const std::string& I) const {
    return I + "{\n" + textMember(I, "name", p.name) + ",\n" +
           textMember(I, "direction", p.direction) + ",\n" + numberMember(I, "width", p.width) +
           ",\n" + numberMember(I, "line", p.line) + "\n" + I + "}";
}

std::string CFGBuilder::moduleToJson(const CFGModuleDef& m, const std::string& I) const {
    const std::string inner = I + "    ";
    std::string out = I + "\"" + json_escape(m.name) + "\": {\n" + textMember(I, "name", m.name) +
                      ",\n" + textMember(I, "file", m.file) + ",\n" +
                      numberMember(I, "line", m.line) + ",\n";
    out += arrayMember(I, "ports", m.ports,
                       [&](const CFGPort& p) { return portToJson(p, inner); }) + ",\n";
    out += arrayMember(I, "signals", m.signals,
                       [&](const CFGSignal& s) { return signalToJson(s, inner); }) + ",\n";
    out += arrayMember(I, "blocks", m.blocks,
                       [&](const CFGBlock& b) { return blockToJson(b, inner); }) + ",\n";
    out += I + "  \"instances\": [";
    for (size_t i = 0; i < m.instance_ids.size(); ++i) {
        if (i > 0)
            out += ", ";
        out += "\"" + json_escape(m.instance_ids[i]) + "\"";
    }
    return out + "]\n" + I + "}";
}

std::string CFGBuilder::bindingToJson(const CFGPortBinding& b, const std::string& I) const {
    return I + "{\n" + textMember(I, "port", b.port) + ",\n" + textMember(I, "kind", b.kind) +
           ",\n" + textMember(I, "connects_module", b.connects_module) + ",\n" +
           textMember(I, "connects_signal", b.connects_signal) + "\n" + I + "}";
}

std::string CFGBuilder::instanceToJson(const CFGInstance& i, const std::string& I) const {
    return I + "\"" + std::to_string(i.id) + "\": {\n" +
           textMember(I, "instance_name", i.instance_name) + ",\n" +
           textMember(I, "module", i.module_id) + ",\n" +
           textMember(I, "parent", i.parent_module_id) + ",\n" + numberMember(I, "line", i.line) +
           ",\n" +
           arrayMember(I, "port_bindings", i.port_bindings,
                       [&](const CFGPortBinding& b) { return bindingToJson(b, I + "    "); }) +
           "\n" + I + "}";
}

std::string CFGBuilder::dataflowEdgeToJson(const CFGDataflowEdge& e, const std::string& I) const {
    return I + "{\n" + textMember(I, "kind", e.kind) + ",\n" + I + "  \"from\": {\n" +
           edgeEnd(I, e.from_module, e.from_signal, e.from_instance, e.from_port) + I + "  },\n" +
           I + "  \"to\": {\n" + edgeEnd(I, e.to_module, e.to_signal, e.to_instance, e.to_port) +
           I + "  }\n" + I + "}";
}

std::string CFGBuilder::to_json() const {
    const std::string I = "    ";
    std::string out = "{\n  \"design\": {\n    \"top\": \"" + json_escape(top_module_id) +
                      "\"\n  },\n";

    out += "  \"modules\": {\n";
    out += joinedLines(std::views::values(module_defs),
                       [&](const CFGModuleDef& d) { return moduleToJson(d, I); });
    out += "  },\n";

    out += "  \"instances\": {\n";
    out += joinedLines(std::views::values(instances),
                       [&](const CFGInstance& i) { return instanceToJson(i, I); });
    out += "  },\n";

    out += "  \"dataflow\": [\n";
    out += joinedLines(dataflow,
                       [&](const CFGDataflowEdge& e) { return dataflowEdgeToJson(e, I); });
    out += "  ]\n}\n";
    return out;
}

std::string CFGBuilder::getModuleByName(std::string n) const {
    const auto it = module_defs.find(n);
    if (it == module_defs.end())
        return "{}\n";
    return "\"modules\": {\n" + moduleToJson(it->second, "   ") + "}\n";
}
