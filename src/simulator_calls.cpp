// User function calls on the right of vector assignments. The model has no
// call stack: each call site expands the function body with its formal
// arguments standing for the actual ones. The body's writes of the return
// value run inside a continuous driver of a hidden return temporary, so the
// value follows the arguments like any other expression temporary, and the
// calling statement copies it at its own time, under its own trigger.
#include "simulator.h"

#include <memory>
#include <variant>

using namespace slang::ast;
using wsim_kernel::assignment_t;
using wsim_kernel::process_t;
using wsim_kernel::sim_state;
using operand_t = wsim_kernel::operand_t;

namespace {

const SubroutineSymbol* userFunction(const CallExpression& call) {
    if (call.isSystemCall())
        return nullptr;
    const auto* const* sub = std::get_if<const SubroutineSymbol*>(&call.subroutine);
    if (!sub || !*sub || (*sub)->subroutineKind != SubroutineKind::Function)
        return nullptr;
    return *sub;
}

// Whether `fn` reaches a call of itself through the functions it calls: an
// expansion without a call stack would never end.
bool callsItself(const SubroutineSymbol& fn) {
    std::set<const SubroutineSymbol*> seen;
    std::vector<const SubroutineSymbol*> pending{&fn};
    bool found = false;
    while (!pending.empty() && !found) {
        const SubroutineSymbol* current = pending.back();
        pending.pop_back();
        auto visitor = makeVisitor([&](auto& v, const CallExpression& call) {
            if (const SubroutineSymbol* callee = userFunction(call)) {
                if (callee == &fn)
                    found = true;
                else if (seen.insert(callee).second)
                    pending.push_back(callee);
            }
            v.visitDefault(call);
        });
        current->getBody().visit(visitor);
    }
    return found;
}

// Locals of a function have no registry entries, so a body that uses one
// would read or write whatever else carries its name.
bool hasLocalVariables(const SubroutineSymbol& fn) {
    for (const Symbol& member : fn.members())
        if (member.kind == SymbolKind::Variable && &member != fn.returnValVar)
            return true;
    return false;
}

bool writesSignal(wsim_kernel::assign_t type) {
    using wsim_kernel::assign_t;
    return type == assign_t::CA || type == assign_t::BA || type == assign_t::NBA ||
           type == assign_t::COMBO;
}

void markChanged(int pos, operand_t type, bool changed) {
    auto apply = [changed](auto& cell) {
        if (changed)
            cell.set_changed();
        else
            cell.reset_changed();
    };
    if (type == operand_t::BYTE)
        apply(kernel().access_bytes(pos));
    else
        apply(kernel().access_longs(pos));
}

// Runs the body's writes of the return temporary in order; answers whether
// they changed it. Its changed mark is judged against the value before the
// body, so a second write of an equal value does not hide a change.
wsim_kernel::exp_t bodyRunner(std::shared_ptr<std::vector<assignment_t>> body, int pos,
                              operand_t type) {
    return [body, pos, type] {
        const uint64_t before = kernel().read_signal_val(pos, type);
        bool continue_run = true;
        for (assignment_t& stmt : *body)
            stmt.evaluate(continue_run);
        const bool changed = kernel().read_signal_val(pos, type) != before;
        markChanged(pos, type, changed);
        return changed;
    };
}

// One registry entry that stands for another signal while a body is walked.
struct Alias {
    std::string name;
    int pos = 0;
    operand_t type = operand_t::LONG;
    int width = 1;
    bool is_signed = false;
};

// Puts aliases into the registry and, on destruction, the entries they
// replaced back (or removes them).
class AliasOverlay {
public:
    explicit AliasOverlay(SimulatorBuilder& b) : b_(b) {}
    AliasOverlay(const AliasOverlay&) = delete;
    AliasOverlay& operator=(const AliasOverlay&) = delete;

    void add(const Alias& alias) {
        saved_.push_back({alias.name, find(b_.signal_positions, alias.name),
                          find(b_.signal_types, alias.name), find(b_.signal_widths, alias.name),
                          find(b_.signal_signed, alias.name)});
        b_.signal_positions[alias.name] = alias.pos;
        b_.signal_types[alias.name] = alias.type;
        b_.signal_widths[alias.name] = alias.width;
        b_.signal_signed[alias.name] = alias.is_signed;
    }

    ~AliasOverlay() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            restore(b_.signal_positions, it->name, it->pos);
            restore(b_.signal_types, it->name, it->type);
            restore(b_.signal_widths, it->name, it->width);
            restore(b_.signal_signed, it->name, it->is_signed);
        }
    }

private:
    struct Saved {
        std::string name;
        std::optional<int> pos;
        std::optional<operand_t> type;
        std::optional<int> width;
        std::optional<bool> is_signed;
    };

    template <typename V>
    static std::optional<V> find(const std::map<std::string, V>& map, const std::string& key) {
        auto it = map.find(key);
        return it == map.end() ? std::nullopt : std::optional<V>(it->second);
    }
    template <typename V>
    static void restore(std::map<std::string, V>& map, const std::string& key,
                        const std::optional<V>& value) {
        if (value)
            map[key] = *value;
        else
            map.erase(key);
    }

    SimulatorBuilder& b_;
    std::vector<Saved> saved_;
};

// Clears the stored event control for its lifetime: a function body runs
// when its caller does and waits for nothing of its own.
class StoredTimingPause {
public:
    explicit StoredTimingPause(SimulatorBuilder& b)
        : b_(b), list_(b.stored_event_list), pos_(b.stored_sig_pos), edge_(b.stored_edge),
          type_(b.stored_sig_type) {
        b.stored_event_list.clear();
        b.stored_sig_pos = 0;
    }
    ~StoredTimingPause() {
        b_.stored_event_list = list_;
        b_.stored_sig_pos = pos_;
        b_.stored_edge = edge_;
        b_.stored_sig_type = type_;
    }
    StoredTimingPause(const StoredTimingPause&) = delete;
    StoredTimingPause& operator=(const StoredTimingPause&) = delete;

private:
    SimulatorBuilder& b_;
    std::vector<TriggerEvent> list_;
    int pos_;
    WEdgeKind edge_;
    operand_t type_;
};

} // namespace

bool SimulatorBuilder::processVectorCall(const CallExpression& call, const VectorAssign& va) {
    const SubroutineSymbol* fn = userFunction(call);
    if (!fn || hasLocalVariables(*fn) || callsItself(*fn))
        return false;
    const std::string func(fn->name);
    const std::string line = std::to_string(va.actual_line);
    // The caller's scope keeps the expansions of two instances apart.
    const std::string prefix = (_current_scope_prefix.empty() ? "" : _current_scope_prefix + ".") +
                               "_func_" + func + "_" + line;

    // Every formal must stand for a signal or a constant: a formal left
    // unbound would read whatever else carries its name.
    std::vector<Alias> aliases;
    const auto formals = fn->getArguments();
    const auto actuals = call.arguments();
    for (size_t i = 0; i < formals.size(); ++i) {
        if (!formals[i])
            continue;
        if (i >= actuals.size() || !actuals[i])
            return false;
        const Expression& actual = actuals[i]->unwrapImplicitConversions();
        Alias alias;
        alias.name = prefix + "." + std::string(formals[i]->name);
        alias.is_signed = formals[i]->getType().isSigned();
        std::string source;
        if (actual.kind == ExpressionKind::IntegerLiteral) {
            const uint64_t v = svintToUint64(actual.as<IntegerLiteral>().getValue());
            alias.pos = addLongConstant(prefix + "_argk_" + std::to_string(i) + "_" +
                                            std::to_string(v),
                                        v, va.actual_line);
            alias.width = std::max(1, static_cast<int>(actual.type->getBitWidth()));
        } else if (!signalOperand(actual, source, alias.pos, alias.type, alias.width)) {
            return false;
        }
        aliases.push_back(alias);
    }

    // One return temporary per call expression; a call met again (an
    // always block with an event list walks its body once per event) copies
    // the same one.
    const std::string ret_name = temporaryNameFor(
        va.lhs_name + "_fret_" + func + "_" + line,
        "call" + std::to_string(reinterpret_cast<uintptr_t>(&call)));
    const std::string driven_key = ret_name + "_DRV";
    if (isRegistered(ret_name)) {
        if (!created_assigns.count(driven_key))
            return false;
        return emitVec(va, signal_positions[ret_name], getSignalType(ret_name));
    }
    const operand_t ret_type = va.width < 9 ? operand_t::BYTE : operand_t::LONG;
    const int ret_pos =
        ret_type == operand_t::BYTE
            ? kernel().add_byte(wsim_kernel::byte_t(0, false, ret_name, va.actual_line))
            : kernel().add_long(wsim_kernel::long_t(0, false, ret_name, va.actual_line));
    registerConstant(ret_name, ret_pos, ret_type);
    signal_widths[ret_name] = va.width;

    // The return value keeps the function's own width (a one-bit function
    // still writes through the vector path, so its width stays the target's).
    const int declared = static_cast<int>(fn->getReturnType().getBitWidth());
    Alias ret;
    ret.name = prefix + "." + func;
    ret.pos = ret_pos;
    ret.type = ret_type;
    ret.width = declared >= 2 ? std::min(declared, va.width) : va.width;
    ret.is_signed = fn->getReturnType().isSigned();
    aliases.push_back(ret);

    process_t scratch(va.actual_line, func + "_body", wsim_kernel::proc_t::ASSIGN);
    {
        AliasOverlay overlay(*this);
        for (const Alias& alias : aliases)
            overlay.add(alias);
        StoredTimingPause pause(*this);
        auto guard = scopeGuard(prefix);
        processStatement(fn->getBody(), scratch, ProceduralBlockKind::AlwaysComb, va.actual_line);
    }

    // Only the body's writes of the return value are modelled.
    auto body = std::make_shared<std::vector<assignment_t>>();
    for (int i = 0; i < scratch.number_of_statements(); ++i) {
        const assignment_t& stmt = *scratch.ith_statement(i);
        if (writesSignal(stmt.type()) && stmt.lhs_index() == ret_pos && stmt.lhs_type() == ret_type)
            body->push_back(stmt);
    }
    if (body->empty())
        return false;
    created_assigns.insert(driven_key);
    makeCAProcessWithExp(va.file_id, va.actual_line, ret_name, ret_pos,
                         bodyRunner(std::move(body), ret_pos, ret_type), ret_type, ret_type,
                         false);
    return emitVec(va, ret_pos, ret_type);
}
