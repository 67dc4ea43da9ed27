// The design visitor: declarations become registry entries and constants,
// procedural blocks become kernel processes.
#include "simulator.h"
#include "timeseries.h"

#include <slang/ast/EvalContext.h>

using namespace slang::ast;
using wsim_kernel::assign_t;
using wsim_kernel::process_t;
using wsim_kernel::sim_state;
using operand_t = wsim_kernel::operand_t;

namespace {

std::string scopedName(const std::string& prefix, std::string_view name) {
    return prefix.empty() ? std::string(name) : prefix + "." + std::string(name);
}

// Writes an initial value into a signal's cell. An initial value is the
// signal's starting state, not an event, so it leaves no edge or change mark.
void writeInitialValue(int pos, operand_t type, uint64_t v) {
    auto& state = sim_state::instance();
    auto settle = [](auto& cell) {
        cell.reset_changed();
        cell.reset_edge_flags();
    };
    switch (type) {
    case operand_t::BIT:
        state.access_bits(pos).update(v != 0, 0);
        settle(state.access_bits(pos));
        break;
    case operand_t::BYTE:
        state.access_bytes(pos).update(static_cast<uint8_t>(v & 0xff), 0);
        settle(state.access_bytes(pos));
        break;
    default:
        state.access_longs(pos).update(v, 0);
        settle(state.access_longs(pos));
        break;
    }
}

bool containsTiming(const Statement& s);
bool containsNonBlocking(const Statement& s);

template <typename Pred>
bool scanStatements(const Statement& s, Pred&& pred) {
    switch (s.kind) {
    case StatementKind::List:
        for (const Statement* item : s.as<StatementList>().list)
            if (pred(*item))
                return true;
        return false;
    case StatementKind::Block: return pred(s.as<BlockStatement>().body);
    case StatementKind::Conditional: {
        const auto& cond = s.as<ConditionalStatement>();
        return pred(cond.ifTrue) || (cond.ifFalse && pred(*cond.ifFalse));
    }
    default: return false;
    }
}

bool containsTiming(const Statement& s) {
    if (s.kind == StatementKind::Timed)
        return true;
    return scanStatements(s, containsTiming);
}

bool containsNonBlocking(const Statement& s) {
    if (s.kind == StatementKind::ExpressionStatement) {
        const Expression& e = s.as<ExpressionStatement>().expr;
        return e.kind == ExpressionKind::Assignment && e.as<AssignmentExpression>().isNonBlocking();
    }
    if (s.kind == StatementKind::Timed)
        return containsNonBlocking(s.as<TimedStatement>().stmt);
    return scanStatements(s, containsNonBlocking);
}

} // namespace

void SimulatorBuilder::handle(const ParameterSymbol& param) {
    const std::string name = scopedName(_current_scope_prefix, param.name);
    const int width = static_cast<int>(param.getType().getBitWidth());
    const int line = getLineNumber(param.location);
    if (isRegistered(name))
        return;
    const auto& value = param.getValue();
    if (!value.isInteger())
        return;
    const uint64_t v = value.integer().as<uint64_t>().value_or(0);
    if (width == 1) {
        addBitConstant(name, v != 0, line);
    } else if (width <= 8) {
        const int pos = sim_state::instance().add_byte(
            wsim_kernel::byte_t(static_cast<uint8_t>(v & 0xff), true, name, line));
        registerConstant(name, pos, operand_t::BYTE);
    } else {
        addLongConstant(name, v, line);
    }
    signal_widths[name] = width;
}

void SimulatorBuilder::handle(const PortSymbol& port) {
    // A top instance's ports are top-level signals under their bare names.
    // Inside an instance the port signals come with the instance under its
    // path (elaborateModuleInstance); a bare name there would be a phantom
    // top-level signal that never changes and has no design-structure row.
    if (!_current_scope_prefix.empty())
        return;
    const std::string name(port.name);
    if (name.empty() || isRegistered(name))
        return;
    const auto& type = port.getType();
    registerSignalBits(name, static_cast<int>(type.getBitWidth()), getLineNumber(port.location),
                       true, false, type.isSigned());
}

void SimulatorBuilder::handle(const SubroutineSymbol& sub) {
    if (sub.subroutineKind != SubroutineKind::Task)
        return;
    TaskDef def;
    def.sym = &sub;
    for (const auto* arg : sub.getArguments())
        def.param_names.emplace_back(arg->name);
    _task_defs[std::string(sub.name)] = std::move(def);
}

void SimulatorBuilder::handle(const InstanceSymbol& inst) {
    const std::string saved = _current_scope_prefix;
    if (!inst.isTopLevel()) {
        _current_scope_prefix = scopedName(saved, inst.name);
        elaborateModuleInstance(inst, saved);
    }
    visitDefault(inst);
    _current_scope_prefix = saved;
}

void SimulatorBuilder::handle(const VariableSymbol& var) {
    // Formal arguments, class properties and the like share this handler.
    if (var.kind != SymbolKind::Variable)
        return;
    const std::string name = scopedName(_current_scope_prefix, var.name);
    const auto& type = var.getType();
    const int width = std::max(1, static_cast<int>(type.getBitWidth()));
    registerSignalBits(name, width, getLineNumber(var.location), false, true, type.isSigned());

    const Expression* init = var.getInitializer();
    if (!init || !var.getParentScope())
        return;
    const int pos = signal_positions[name];
    const operand_t store = getSignalType(name);
    const uint64_t mask = widthMask(width);
    EvalContext eval(ASTContext(*var.getParentScope(), LookupLocation::max));
    const slang::ConstantValue cv = init->eval(eval);
    if (cv.isInteger()) {
        const uint64_t v = cv.integer().as<uint64_t>().value_or(0) & mask;
        writeInitialValue(pos, store, v);
        wsim_timeseries::TimeSeriesDB::instance().record_signal_change(name,
                                                                      static_cast<int64_t>(v));
        return;
    }
    const Expression& literal = init->unwrapImplicitConversions();
    if (literal.kind == ExpressionKind::IntegerLiteral)
        writeInitialValue(pos, store, svintToUint64(literal.as<IntegerLiteral>().getValue()) & mask);
}

void SimulatorBuilder::handle(const NetSymbol& net) {
    const Scope* parent = net.getParentScope();
    if (parent && parent->asSymbol().kind == SymbolKind::InstanceBody &&
        parent->asSymbol().as<InstanceBodySymbol>().findPort(net.name))
        return;
    const std::string name = scopedName(_current_scope_prefix, net.name);
    if (isRegistered(name))
        return;
    const auto& type = net.getType();
    const int line = getLineNumber(net.location);
    registerSignalBits(name, static_cast<int>(type.getBitWidth()), line, false, false,
                       type.isSigned());
    if (const Expression* init = net.getInitializer())
        handleNetCA(name, signal_positions[name], line, init->unwrapImplicitConversions());
}

void SimulatorBuilder::handle(const ContinuousAssignSymbol& ca) {
    const int line = getLineNumber(ca.location);
    if (!_current_scope_prefix.empty())
        _line_instance_map_builder[line].push_back(_current_scope_prefix);
    const Expression& assign = ca.getAssignment();
    if (assign.kind == ExpressionKind::Assignment)
        processContinuousAssignExpr(assign.as<AssignmentExpression>(), line);
}

void SimulatorBuilder::handle(const GenerateBlockSymbol& block) {
    // An untaken generate branch is still a scope slang lets us visit; its
    // processes must not run.
    if (!block.isUninstantiated)
        visitDefault(block);
}

void SimulatorBuilder::handle(const ProceduralBlockSymbol& block) {
    if (!processed_blocks.insert(&block).second)
        return;
    stored_event_list.clear();
    stored_sig_pos = 0;
    stored_edge = WEdgeKind::None;
    stored_sig_type = operand_t::BIT;

    const ProceduralBlockKind declared = block.procedureKind;
    ProceduralBlockKind kind = declared;
    const int line = getLineNumber(block.location);
    if (!_current_scope_prefix.empty())
        _line_instance_map_builder[line].push_back(_current_scope_prefix);

    const Statement* body = &block.getBody();
    while (body->kind == StatementKind::Block &&
           body->as<BlockStatement>().blockKind == StatementBlockKind::Sequential)
        body = &body->as<BlockStatement>().body;

    if (declared == ProceduralBlockKind::Always) {
        const bool timed = body->kind == StatementKind::Timed;
        if (timed && body->as<TimedStatement>().timing.kind == TimingControlKind::ImplicitEvent) {
            kind = ProceduralBlockKind::AlwaysComb;
            body = &body->as<TimedStatement>().stmt;
        } else if (!timed && containsTiming(*body) && !containsNonBlocking(*body)) {
            kind = ProceduralBlockKind::AlwaysComb;
        }
    }

    const bool initial = declared == ProceduralBlockKind::Initial;
    process_t proc(line, initial ? "init" : "always",
                   initial ? wsim_kernel::proc_t::INITIAL : wsim_kernel::proc_t::ALWAYS);
    bool added = false;
    if (initial) {
        time_t cursor = 0;
        added = processStatementWithAbsoluteTime(*body, proc, kind, cursor, line, 0, 0, 0);
    } else {
        added = processStatement(*body, proc, kind, line);
    }
    if (!added || proc.number_of_statements() == 0)
        return;

    const std::string instance_id =
        _current_scope_prefix.empty() ? _top_module_name : _current_scope_prefix;
    for (int i = 0; i < proc.number_of_statements(); ++i) {
        auto* stmt = proc.ith_statement(i);
        if (declared == ProceduralBlockKind::Always && stmt->trigger_index() == 0 &&
            (stmt->type() == assign_t::BA || stmt->type() == assign_t::NBA))
            stmt->set_always_loop(true);
        stmt->set_instance_id(instance_id);
    }
    commitProcess(proc);
}
