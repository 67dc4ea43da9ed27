// The instance tree: every child instance is registered with the recorder
// and its ports, its port connections become continuous drivers, and the
// design's timescales decide the simulation's time base.
#include "plain_names.h"
#include "simulator.h"
#include "timeseries.h"

#include <algorithm>

using namespace slang::ast;
using wsim_kernel::sim_state;
using operand_t = wsim_kernel::operand_t;

namespace {

std::string childPath(const std::string& parent_path, std::string_view name) {
    return parent_path.empty() ? std::string(name) : parent_path + "." + std::string(name);
}

// Every instance below (and including) `inst`, generate blocks included.
class InstanceCollector : public ASTVisitor<InstanceCollector, false, false> {
public:
    std::vector<const InstanceSymbol*> found;
    void handle(const InstanceSymbol& inst) {
        found.push_back(&inst);
        visitDefault(inst);
    }
    void handle(const GenerateBlockSymbol& block) {
        if (!block.isUninstantiated)
            visitDefault(block);
    }
};

} // namespace

uint64_t SimulatorBuilder::femtoseconds(const slang::TimeScaleValue& v) {
    uint64_t fs = 1000000;
    switch (v.unit) {
    case slang::TimeUnit::Seconds: fs = 1000000000000000ULL; break;
    case slang::TimeUnit::Milliseconds: fs = 1000000000000ULL; break;
    case slang::TimeUnit::Microseconds: fs = 1000000000ULL; break;
    case slang::TimeUnit::Nanoseconds: fs = 1000000ULL; break;
    case slang::TimeUnit::Picoseconds: fs = 1000ULL; break;
    case slang::TimeUnit::Femtoseconds: fs = 1ULL; break;
    default: break;
    }
    return fs * static_cast<uint64_t>(v.magnitude);
}

void SimulatorBuilder::prepareTimescales(const RootSymbol& root) {
    _timescales_prepared = true;
    // Labels are handed out as assertions are met: every written one must be known first.
    collectWrittenLabels(root);
    InstanceCollector all;
    root.visit(all);
    uint64_t finest = 0;
    bool declared = false;
    const InstanceSymbol* top = root.topInstances.empty() ? nullptr : root.topInstances[0];
    for (const InstanceSymbol* inst : all.found) {
        const auto ts = inst->body.getTimeScale();
        if (!ts)
            continue;
        const uint64_t p = femtoseconds(ts->precision);
        if (finest == 0 || p < finest)
            finest = p;
        declared = declared || inst->getDefinition().timeScale.has_value();
    }
    _global_precision_fs = finest == 0 ? 1000000 : finest;
    auto& ts = sim_state::instance().timescale();
    ts = wsim_kernel::timescale_t{};
    ts.tick_fs = _global_precision_fs;
    if (!declared)
        return;
    ts.was_set = true;
    ts.time_prec_ps = _global_precision_fs / 1000;
    if (top) {
        if (const auto top_ts = top->body.getTimeScale())
            ts.time_unit_ps = femtoseconds(top_ts->base) / 1000;
    }
}

void SimulatorBuilder::elaborateInstanceTree(const InstanceSymbol& inst, const std::string&) {
    if (_top_module_name.empty())
        _top_module_name = std::string(inst.getDefinition().name);
}

void SimulatorBuilder::handle(const InstanceSymbol& inst) {
    if (inst.isInterface()) {
        reportNotModelled(inst.location, "interface instance");
        return;
    }
    if (inst.getDefinition().definitionKind == DefinitionKind::Program) {
        reportNotModelled(inst.location, "program block");
        return;
    }
    if (inst.isTopLevel()) {
        // Delays need the time base before the first one is compiled.
        if (!_timescales_prepared)
            prepareTimescales(inst.getParentScope()->getCompilation().getRoot());
        visitDefault(inst);
        return;
    }
    const std::string path = instancePathOf(*inst.getParentScope());
    const std::string inst_path = childPath(path, std::string_view(signalPathTail(inst)));
    if (_registered_instances.insert(inst_path).second) {
        const int line = getLineNumber(inst.location);
        wsim_timeseries::TimeSeriesDB::instance().register_module(
            signalPathTail(inst), std::string(inst.getDefinition().name), path, line);
        registerPorts(inst, inst_path);
    }
    visitDefault(inst);
    bindPorts(inst, inst_path);
}

std::string SimulatorBuilder::signalPathTail(const InstanceSymbol& inst) const {
    // The instance's name under its parent instance: generate blocks between
    // them are part of it (g[0].u1).
    const std::string parent = instancePathOf(*inst.getParentScope());
    const std::string below_top = nameBelowTop(inst.getHierarchicalPath());
    if (parent.empty())
        return below_top;
    return below_top.substr(std::min(below_top.size(), parent.size() + 1));
}

void SimulatorBuilder::registerPorts(const InstanceSymbol& inst, const std::string& inst_path) {
    const int line = getLineNumber(inst.location);
    for (const Symbol* entry : inst.body.getPortList()) {
        if (entry->kind == SymbolKind::Port) {
            registerPort(inst, entry->as<PortSymbol>(), inst_path, line);
        } else if (entry->kind == SymbolKind::MultiPort) {
            // `.din({dh, dl})`: slang connects each signal as a port of its own.
            for (const PortSymbol* port : entry->as<MultiPortSymbol>().ports)
                registerPort(inst, *port, inst_path, line);
        } else {
            reportNotModelled(entry->location, "interface port");
        }
    }
}

namespace {

// Whether a port is the whole of its internal signal rather than a select
// of it (`.a(x[3:0])`).
bool wholeSignalPort(const PortSymbol& port) {
    const Expression* e = port.getInternalExpr();
    if (!e)
        return true;
    const Expression& u = e->unwrapImplicitConversions();
    return (u.kind == ExpressionKind::NamedValue || u.kind == ExpressionKind::HierarchicalValue) &&
           &u.as<ValueExpressionBase>().symbol == port.internalSymbol;
}

} // namespace

void SimulatorBuilder::registerPort(const InstanceSymbol& inst, const PortSymbol& port,
                                    const std::string& inst_path, int line) {
    if (!port.getType().isIntegral() || !port.internalSymbol)
        return;
    const auto& value = port.internalSymbol->as<ValueSymbol>();
    // A port left out is reported where it is declared, and where it is
    // connected.
    if (_signals.count(&value) || !value.getType().isIntegral() ||
        !leftOutReasons(value).empty())
        return;
    // Named as the signal is in the design's structure, whatever the port's
    // outside name.
    const Type& type = value.getType();
    const std::string name = ownName(inst_path + "." + std::string(value.name), value);
    const bool whole = wholeSignalPort(port);
    if (const ValueSymbol* outside = whole ? collapsibleConnection(inst, port) : nullptr) {
        try {
            // One signal seen under two names: no copy, no delta between them.
            const wsim_kernel::signal_ref sig = signalOf(*outside);
            registerAlias(name, sig, static_cast<int>(type.getBitWidth()), line);
            _signals[&value] = sig;
            _collapsed_ports.insert(&port);
            return;
        } catch (const Unmodelled&) {
            // Bound as any other connection below.
        }
    }
    _signals[&value] = registerSignal(name, static_cast<int>(type.getBitWidth()), line, true, false);
    if (whole)
        initialisePort(port, _signals[&value]);
}

const ValueSymbol* SimulatorBuilder::collapsibleConnection(const InstanceSymbol& inst,
                                                           const PortSymbol& port) const {
    const PortConnection* conn = inst.getPortConnection(port);
    const Expression* e = conn ? conn->getExpression() : nullptr;
    // An output with a starting value of its own keeps it apart from the
    // outside signal, which its bind then drives from time 0.
    if (!e || !port.internalSymbol ||
        (port.direction == ArgumentDirection::Out && port.hasInitializer()) ||
        port.internalSymbol->as<ValueSymbol>().getInitializer())
        return nullptr;
    if (port.direction == ArgumentDirection::Out && e->kind == ExpressionKind::Assignment)
        e = &e->as<AssignmentExpression>().left();
    else if (port.direction != ArgumentDirection::In)
        return nullptr;
    const Expression& u = e->unwrapImplicitConversions();
    if (u.kind != ExpressionKind::NamedValue && u.kind != ExpressionKind::HierarchicalValue)
        return nullptr;
    const Symbol& sym = u.as<ValueExpressionBase>().symbol;
    if (sym.kind != SymbolKind::Variable && sym.kind != SymbolKind::Net)
        return nullptr;
    const Type& outside = sym.as<ValueSymbol>().getType();
    const auto width = port.getType().getBitWidth();
    if (!outside.isIntegral() || outside.getBitWidth() != width || width > 64 || width == 0)
        return nullptr;
    // A net something else drives already gets a bind of its own, so that
    // the clash is reported where this instance connects to it.
    if (port.direction == ArgumentDirection::Out) {
        if (auto it = _signals.find(&sym); it != _signals.end()) {
            const std::pair<int, int> key{static_cast<int>(it->second.type), it->second.pos};
            if (_driven_bits.count(key) || _supply_nets.count(key))
                return nullptr;
        }
    }
    return &sym.as<ValueSymbol>();
}

void SimulatorBuilder::bindPorts(const InstanceSymbol& inst, const std::string& inst_path) {
    auto& state = sim_state::instance();
    for (const PortConnection* conn : inst.getPortConnections()) {
        if (conn->port.kind != SymbolKind::Port)
            continue;
        const auto& port = conn->port.as<PortSymbol>();
        if (_collapsed_ports.count(&port))
            continue;
        const Expression* expr = conn->getExpression();
        // `unconnected_drive pull1 pulls the module's unconnected inputs up.
        const bool pulled_up = !expr && port.direction == ArgumentDirection::In &&
                               inst.getDefinition().unconnectedDrive == UnconnectedDrive::Pull1;
        if ((!expr && !pulled_up) || !port.internalSymbol)
            continue;
        const slang::SourceLocation where = expr && expr->sourceRange.start().valid()
                                                ? expr->sourceRange.start()
                                                : inst.location;
        try {
            Restore scope_guard(_ctx);
            _ctx = CodeContext{};
            _ctx.scope = inst.getParentScope();
            _ctx.instance_path = inst_path;
            const Type& port_type = port.getType();
            if (!port_type.isIntegral())
                unmodelled("port of this type", where);
            const auto& internal = port.internalSymbol->as<ValueSymbol>();
            const wsim_kernel::signal_ref inside = signalOf(internal);
            const std::string port_name = inst_path + "." + std::string(internal.name);
            // A port that is a select of its signal (`.a(x[3:0])`) reads and
            // writes that select, taken in the instance's own scope.
            const Expression* select = wholeSignalPort(port) ? nullptr : port.getInternalExpr();
            auto inner = [&](auto compile) {
                Restore<const Scope*> keep(_ctx.scope);
                _ctx.scope = &inst.body;
                return compile();
            };
            switch (port.direction) {
            case ArgumentDirection::In: {
                int target = 0;
                if (select) {
                    target = inner([&] { return compileLValue(*select); });
                } else {
                    wsim_kernel::lvalue_t lv;
                    lv.width = state.signal_width(inside);
                    lv.parts.push_back({inside, lv.width, lv.width});
                    target = state.add_lvalue(lv);
                }
                const int width = std::clamp(static_cast<int>(port_type.getBitWidth()), 1, 64);
                const int value = expr ? compileConverted(*expr, port_type)
                                       : constantExpression(~uint64_t{0}, width);
                addDriver(target, value, where, port_name + "_input_bind", 0);
                break;
            }
            case ArgumentDirection::Out: {
                const Expression& actual = expr->kind == ExpressionKind::Assignment
                                               ? expr->as<AssignmentExpression>().left()
                                               : *expr;
                const int target = compileLValue(actual);
                const int target_width = state.lvalues(target).width;
                int value = 0;
                if (select) {
                    value = inner([&] { return compileConverted(*select, *actual.type); });
                } else {
                    const int width = state.signal_width(inside);
                    wsim_kernel::expr_t load;
                    load.code.push_back({wsim_kernel::xop::LOAD, 64, 64, 0, inside.type, inside.pos, 0});
                    if (target_width < width)
                        load.code.push_back({wsim_kernel::xop::TRUNC,
                                             static_cast<uint8_t>(target_width), 0, 0,
                                             operand_t::BIT, 0, 0});
                    else if (target_width > width && port_type.isSigned())
                        load.code.push_back({wsim_kernel::xop::SEXT,
                                             static_cast<uint8_t>(target_width),
                                             static_cast<uint8_t>(width), 0, operand_t::BIT, 0, 0});
                    load.width = target_width;
                    value = state.add_expr(std::move(load));
                    _ctx.exprs_used.push_back(value);
                }
                const auto& parts = state.lvalues(target).parts;
                const std::string parent_sig =
                    parts.empty() ? port_name : state.signal_name(parts.front().sig);
                _ctx.instance_path = inst_path;
                addDriver(target, value, where, parent_sig + "_output_bind", 0);
                break;
            }
            case ArgumentDirection::InOut: unmodelled("inout port connection", where);
            case ArgumentDirection::Ref: unmodelled("ref port connection", where);
            }
        } catch (const Unmodelled& u) {
            reportNotModelled(u.where.valid() ? u.where : where, u.construct);
        }
    }
}

