// The instance tree: every child instance is registered with its port
// signals, its ports are bound to the signals connected in the parent, and
// the timescale of its definition goes to the kernel.
#include "simulator.h"
#include "timeseries.h"

using namespace slang::ast;
using wsim_kernel::assign_t;
using wsim_kernel::assignment_t;
using wsim_kernel::process_t;
using wsim_kernel::sim_state;
using operand_t = wsim_kernel::operand_t;

namespace {

std::string childPath(const std::string& parent_path, std::string_view name) {
    return parent_path.empty() ? std::string(name) : parent_path + "." + std::string(name);
}

} // namespace

void SimulatorBuilder::elaborateInstanceTree(const InstanceSymbol& inst,
                                             const std::string& parent_path) {
    if (inst.isTopLevel()) {
        if (_top_module_name.empty())
            _top_module_name = std::string(inst.getDefinition().name);
        applyTimescale(inst);
        for (const auto& child : inst.body.membersOfType<InstanceSymbol>())
            elaborateInstanceTree(child, parent_path);
        return;
    }

    applyTimescale(inst);
    const std::string inst_path = childPath(parent_path, inst.name);
    elaborateModuleInstance(inst, parent_path);
    std::vector<OutputBind> output_binds;
    {
        auto guard = scopeGuard(parent_path);
        elaborateModuleInstanceInputBind(inst, inst_path);
        output_binds = std::move(pending_output_binds);
        pending_output_binds.clear();
    }

    for (const auto& child : inst.body.membersOfType<InstanceSymbol>())
        elaborateInstanceTree(child, inst_path);

    for (const auto& ca : inst.body.membersOfType<ContinuousAssignSymbol>()) {
        const Expression& assign = ca.getAssignment();
        if (assign.kind != ExpressionKind::Assignment)
            continue;
        const int line = getLineNumber(ca.location);
        _line_instance_map_builder[line].push_back(inst_path);
        auto guard = scopeGuard(inst_path);
        processContinuousAssignExpr(assign.as<AssignmentExpression>(), line);
    }

    const int file_id = get_file_id(inst.location);
    for (const OutputBind& bind : output_binds) {
        _line_instance_map_builder[bind.line].push_back(inst_path);
        makeBindProcess(bind.parent_sig + "_output_bind", bind.parent_sig, bind.inst_sig, file_id,
                        bind.line, inst_path);
    }
}

void SimulatorBuilder::makeBindProcess(const std::string& process_name, const std::string& target,
                                       const std::string& source, int file_id, int line,
                                       const std::string& instance_id) {
    process_t proc(line, process_name, wsim_kernel::proc_t::ASSIGN);
    const int ctx = addLineContext(file_id, line);
    const operand_t ltype = getSignalType(target);
    const operand_t rtype = getSignalType(source);
    const int src = signal_positions[source];
    if (ltype == operand_t::BIT && rtype != operand_t::BIT) {
        // The 1-bit write path reads its source in the bit store: hand it the
        // wider signal's least significant bit instead.
        const int exp = sim_state::instance().add_exp(lsbReader(src, rtype));
        proc.add_statement(assignment_t(assign_t::CA, 0, signal_positions[target], 0, exp, ctx, 0,
                                        0, 0, line, ltype, rtype));
    } else {
        proc.add_statement(assignment_t(assign_t::CA, 0, signal_positions[target], src, 0, ctx, 0,
                                        0, 0, line, ltype, rtype));
    }
    proc.ith_statement(0)->set_instance_id(instance_id);
    commitProcess(proc);
}

void SimulatorBuilder::elaborateModuleInstance(const InstanceSymbol& instance,
                                               const std::string& parent_path) {
    const std::string inst_path = childPath(parent_path, instance.name);
    if (!_registered_instances.insert(inst_path).second)
        return;
    const int line = getLineNumber(instance.location);
    wsim_timeseries::TimeSeriesDB::instance().register_module(
        std::string(instance.name), std::string(instance.getDefinition().name), parent_path,
        line);

    auto register_port = [&](std::string_view port_name, const slang::ast::Type& type,
                             bool is_signed) {
        const std::string signal = inst_path + "." + std::string(port_name);
        if (!isRegistered(signal))
            registerSignalBits(signal, static_cast<int>(type.getBitWidth()), line, true, false,
                               is_signed);
    };
    for (const Symbol* entry : instance.body.getPortList()) {
        if (entry->kind == SymbolKind::Port) {
            const auto& port = entry->as<PortSymbol>();
            register_port(port.name, port.getType(), port.getType().isSigned());
        } else if (entry->kind == SymbolKind::MultiPort) {
            for (const PortSymbol* port : entry->as<MultiPortSymbol>().ports)
                register_port(port->name, port->getType(), false);
        }
    }
}

void SimulatorBuilder::elaborateModuleInstanceInputBind(const InstanceSymbol& instance,
                                                        const std::string& inst_path) {
    const int line = getLineNumber(instance.location);
    const int file_id = get_file_id(instance.location);
    _line_instance_map_builder[line].push_back(inst_path);

    for (const auto* conn : instance.getPortConnections()) {
        if (conn->port.kind != SymbolKind::Port)
            continue;
        const Expression* expr = conn->getExpression();
        if (!expr)
            continue;
        const Symbol* referenced = expr->getSymbolReference();
        if (!referenced)
            continue;
        // Only a connection that is the whole signal is bound: a select or an
        // operator would otherwise bind the whole signal in its place.
        const Expression* connected = expr;
        if (expr->kind == ExpressionKind::Assignment &&
            expr->as<AssignmentExpression>().isLValueArg())
            connected = &expr->as<AssignmentExpression>().left();
        if (!isSignalReference(*connected))
            continue;

        const auto& port = conn->port.as<PortSymbol>();
        const std::string port_full = inst_path + "." + std::string(port.name);
        const std::string parent = resolveSignalName(std::string(referenced->name));
        if (!isRegistered(port_full) || !isRegistered(parent))
            continue;

        if (port.direction == ArgumentDirection::In) {
            makeBindProcess(port_full + "_input_bind", port_full, parent, file_id, line, inst_path);
        } else if (port.direction == ArgumentDirection::Out) {
            pending_output_binds.push_back(OutputBind{parent, port_full, line});
        }
    }
}

void SimulatorBuilder::applyTimescale(const InstanceSymbol& topInst) {
    const auto& scale = topInst.getDefinition().timeScale;
    if (!scale)
        return;
    auto& ts = sim_state::instance().timescale();
    ts.time_unit_ps = timeScaleUnitToPs(scale->base.unit, static_cast<int>(scale->base.magnitude));
    ts.time_prec_ps =
        timeScaleUnitToPs(scale->precision.unit, static_cast<int>(scale->precision.magnitude));
    ts.was_set = true;
}

uint64_t SimulatorBuilder::timeScaleUnitToPs(slang::TimeUnit unit, int magnitude) {
    uint64_t ps = 1000;
    switch (unit) {
    case slang::TimeUnit::Seconds: ps = 1000000000000ULL; break;
    case slang::TimeUnit::Milliseconds: ps = 1000000000ULL; break;
    case slang::TimeUnit::Microseconds: ps = 1000000ULL; break;
    case slang::TimeUnit::Nanoseconds: ps = 1000ULL; break;
    case slang::TimeUnit::Picoseconds: ps = 1ULL; break;
    case slang::TimeUnit::Femtoseconds: ps = 0ULL; break;
    default: break;
    }
    return static_cast<uint64_t>(magnitude) * ps;
}
