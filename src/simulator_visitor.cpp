// The design visitor: declarations become signals, continuous assignments
// become drivers, procedural blocks become processes.
#include "plain_names.h"
#include "simulator.h"
#include "timeseries.h"

#include <slang/ast/EvalContext.h>


using namespace slang::ast;
using wsim_kernel::assign_t;
using wsim_kernel::assignment_t;
using wsim_kernel::process_t;
using wsim_kernel::sim_state;
using operand_t = wsim_kernel::operand_t;

namespace {

// What a declaration of this type is called when it is left out.
std::string typePhrase(const Type& t) {
    const Type& c = t.getCanonicalType();
    if (c.isUnpackedArray())
        return "array declaration";
    if (c.isFloating())
        return "real variable";
    if (c.isString())
        return "string variable";
    if (c.isEvent())
        return "named event";
    if (c.isClass())
        return "class variable";
    if (c.isUnpackedStruct() || c.isUnpackedUnion())
        return "unpacked structure";
    return "declaration of this type";
}

bool declaresSignal(const Type& t) { return t.isIntegral(); }

} // namespace

namespace {

const InstanceSymbol* enclosingInstance(const Scope& scope) {
    const Symbol* s = &scope.asSymbol();
    while (s && s->kind != SymbolKind::InstanceBody) {
        const Scope* parent = s->getParentScope();
        s = parent ? &parent->asSymbol() : nullptr;
    }
    return s ? s->as<InstanceBodySymbol>().parentInstance : nullptr;
}

} // namespace

std::string SimulatorBuilder::nameBelowTop(std::string_view hierarchical_path) const {
    const std::vector<std::string> parts = plainComponents(hierarchical_path);
    return plainPath(hierarchical_path,
                     parts.size() > 1 && parts[0] == _top_module_name ? 1 : 0);
}

std::string SimulatorBuilder::instancePathOf(const Scope& scope) const {
    const InstanceSymbol* inst = enclosingInstance(scope);
    if (!inst || (inst->isTopLevel() && inst->name == _top_module_name))
        return "";
    return nameBelowTop(inst->getHierarchicalPath());
}

std::string SimulatorBuilder::fullInstancePathOf(const Scope& scope) const {
    const InstanceSymbol* inst = enclosingInstance(scope);
    return inst ? plainPath(inst->getHierarchicalPath()) : _top_module_name;
}

std::vector<std::string> SimulatorBuilder::leftOutReasons(const ValueSymbol& sym) {
    std::vector<std::string> reasons;
    if (sym.getType().isIntegral() && sym.getType().getBitWidth() > 64)
        reasons.emplace_back("vector wider than 64 bits");
    if (sym.kind != SymbolKind::Net)
        return reasons;
    const auto& net = sym.as<NetSymbol>();
    if (net.getDelay())
        reasons.emplace_back("net delay");
    // Two-valued cells of one driver can neither resolve drivers against
    // each other, nor pull, nor hold a charge.
    switch (net.netType.netKind) {
    case NetType::WAnd:
    case NetType::WOr:
    case NetType::TriAnd:
    case NetType::TriOr:
    case NetType::Tri0:
    case NetType::Tri1:
    case NetType::TriReg: reasons.push_back(std::string(net.netType.name) + " net"); break;
    default: break;
    }
    return reasons;
}

bool SimulatorBuilder::reportLeftOut(const ValueSymbol& sym) {
    const std::vector<std::string> reasons = leftOutReasons(sym);
    for (const std::string& reason : reasons)
        reportNotModelled(sym.location, reason);
    return !reasons.empty();
}

void SimulatorBuilder::handle(const GenerateBlockSymbol& block) {
    // An untaken generate branch is still a scope slang lets us visit; its
    // processes must not run.
    if (!block.isUninstantiated)
        visitDefault(block);
}

void SimulatorBuilder::handle(const InstanceArraySymbol& array) {
    reportNotModelled(array.location, "instance array");
}

void SimulatorBuilder::handle(const PrimitiveInstanceSymbol& s) {
    reportNotModelled(s.location, "gate primitive");
}
void SimulatorBuilder::handle(const ClassType& s) { reportNotModelled(s.location, "class"); }
void SimulatorBuilder::handle(const CovergroupType& s) {
    reportNotModelled(s.location, "covergroup");
}
void SimulatorBuilder::handle(const ClockingBlockSymbol& s) {
    reportNotModelled(s.location, "clocking block");
}
void SimulatorBuilder::handle(const CheckerInstanceSymbol& s) {
    reportNotModelled(s.location, "checker instance");
}
void SimulatorBuilder::handle(const NetAliasSymbol& s) {
    reportNotModelled(s.location, "net alias");
}
void SimulatorBuilder::handle(const SpecifyBlockSymbol& s) {
    reportNotModelled(s.location, "specify block");
}

void SimulatorBuilder::handle(const PortSymbol& port) {
    // A top instance's ports are signals of its own, unconnected. Inside an
    // instance the ports come with the instance (registerPorts).
    const Scope* parent = port.getParentScope();
    if (!parent || parent->asSymbol().kind != SymbolKind::InstanceBody)
        return;
    const InstanceSymbol* inst = parent->asSymbol().as<InstanceBodySymbol>().parentInstance;
    if (!inst || !inst->isTopLevel() || !port.internalSymbol)
        return;
    const Type& type = port.getType();
    const auto& value = port.internalSymbol->as<ValueSymbol>();
    // What is left out is reported where it is declared.
    if (!declaresSignal(type) || _signals.count(&value) || !leftOutReasons(value).empty())
        return;
    const std::string name = ownName(signalName(value), value);
    _signals[&value] = registerSignal(name, static_cast<int>(type.getBitWidth()),
                                      getLineNumber(port.location), true, false);
    initialisePort(port, _signals[&value]);
}

void SimulatorBuilder::initialisePort(const PortSymbol& port, wsim_kernel::signal_ref sig) {
    // slang keeps the value on the port, not on the variable behind it.
    const Expression* init = port.getInitializer();
    if (!init || port.direction != ArgumentDirection::Out || !port.internalSymbol)
        return;
    try {
        initialiseStatic(sig, port.internalSymbol->as<ValueSymbol>(), *init);
    } catch (const Unmodelled& u) {
        reportNotModelled(u.where.valid() ? u.where : port.location, u.construct);
    }
}

void SimulatorBuilder::handle(const VariableSymbol& var) {
    // Formal arguments, class properties and the like share this handler;
    // locals of tasks and functions get their storage when they are called.
    if (var.kind != SymbolKind::Variable)
        return;
    const Scope* parent = var.getParentScope();
    for (const Scope* s = parent; s; s = s->asSymbol().getParentScope()) {
        if (s->asSymbol().kind == SymbolKind::Subroutine)
            return;
        if (s->asSymbol().kind == SymbolKind::InstanceBody)
            break;
    }
    const Type& type = var.getType();
    if (!declaresSignal(type)) {
        reportNotModelled(var.location, typePhrase(type));
        return;
    }
    if (reportLeftOut(var))
        return;
    try {
        const wsim_kernel::signal_ref sig = signalOf(var);
        const Expression* init = var.getInitializer();
        // An automatic variable takes its initial value each time its block
        // is entered (the declaration statement), not once.
        if (!init || !parent || var.lifetime == VariableLifetime::Automatic)
            return;
        initialiseStatic(sig, var, *init);
    } catch (const Unmodelled& u) {
        reportNotModelled(u.where.valid() ? u.where : var.location, u.construct);
    }
}

void SimulatorBuilder::initialiseStatic(signal_ref target, const ValueSymbol& var,
                                        const Expression& init) {
    const Scope* parent = var.getParentScope();
    if (!parent)
        unmodelled("initial value of this kind", var.location);
    // Compiled on its own: what it reads is no input of the code around.
    Restore<CodeContext> keep(_ctx);
    _ctx = CodeContext{};
    _ctx.scope = parent;
    _ctx.origin = var.location;
    if (const auto v = constantValue(init)) {
        const auto width = std::min(var.getType().getBitWidth(), 64u);
        kernel().set_initial_value(target, *v & wsim_kernel::width_mask(static_cast<int>(width)));
        return;
    }
    EvalContext eval(ASTContext(*parent, LookupLocation::max));
    const slang::ConstantValue cv = init.eval(eval);
    if (cv.isInteger() && cv.integer().hasUnknown())
        unmodelled(invalidCodePhrase(init, "x/z value"), init.sourceRange.start());
    // Reads other variables: computed once as the run starts.
    kernel().add_static_initialiser(target, compileConverted(init, var.getType()));
}

void SimulatorBuilder::handle(const NetSymbol& net) {
    const Type& type = net.getType();
    if (!declaresSignal(type)) {
        reportNotModelled(net.location, typePhrase(type));
        return;
    }
    if (reportLeftOut(net))
        return;
    try {
        const wsim_kernel::signal_ref sig = signalOf(net);
        const auto kind = net.netType.netKind;
        if (kind == NetType::Supply0 || kind == NetType::Supply1) {
            const uint64_t v = kind == NetType::Supply1
                                   ? wsim_kernel::width_mask(static_cast<int>(type.getBitWidth()))
                                   : 0;
            kernel().set_initial_value(sig, v);
            _supply_nets.insert({static_cast<int>(sig.type), sig.pos});
        }
        if (const Expression* init = net.getInitializer()) {
            if (hasDriveStrength(net.getDriveStrength()))
                unmodelled("drive strength", net.location);
            Restore scope_guard(_ctx);
            _ctx.scope = net.getParentScope();
            wsim_kernel::lvalue_t lv;
            lv.width = kernel().signal_width(sig);
            lv.parts.push_back({sig, lv.width, lv.width});
            const int target = kernel().add_lvalue(lv);
            addDriver(target, compileExpression(*init), net.location, signalName(net) + "_drv", 0);
        }
    } catch (const Unmodelled& u) {
        reportNotModelled(u.where.valid() ? u.where : net.location, u.construct);
    }
}

void SimulatorBuilder::handle(const ContinuousAssignSymbol& ca) {
    const std::string path = instancePathOf(*ca.getParentScope());
    const Expression& e = ca.getAssignment();
    try {
        Restore scope_guard(_ctx);
        _ctx.scope = ca.getParentScope();
        _ctx.instance_path = path;
        if (e.kind != ExpressionKind::Assignment)
            unmodelled(invalidCodePhrase(ca.getSyntax(), "continuous assignment"), ca.location);
        const auto& assign = e.as<AssignmentExpression>();
        Delay delay;
        if (const TimingControl* tc = ca.getDelay()) {
            if (tc->kind != TimingControlKind::Delay)
                unmodelled("continuous assignment delay of this kind", tc->sourceRange.start());
            delay = compileDelay(tc->as<DelayControl>().expr);
        }
        if (hasDriveStrength(ca.getDriveStrength()))
            unmodelled("drive strength", ca.location);
        const int target = compileLValue(assign.left());
        // Named as written: a port is another name for the signal it drives.
        std::string name = primarySignalName(assign.left());
        if (name.empty())
            name = "assign";
        addDriver(target, compileExpression(assign.right()), ca.location, name + "_drv", delay.steps,
                  delay.expr);
    } catch (const Unmodelled& u) {
        reportNotModelled(u.where.valid() ? u.where : ca.location, u.construct);
    }
}

void SimulatorBuilder::handle(const ProceduralBlockSymbol& block) {
    if (!_processed_blocks.insert(&block).second)
        return;
    compileProceduralBlock(block);
}

void SimulatorBuilder::addDriver(int target, int expr, slang::SourceLocation where,
                                 const std::string& process_name, time_t delay, int delay_expr) {
    if (!claimDriver(target, where))
        return;
    process_t proc(getLineNumber(where), process_name, wsim_kernel::proc_t::ASSIGN);
    assignment_t s(assign_t::CA, addLineContext(where));
    s.lhs = target;
    s.expr = expr;
    s.delay = delay;
    s.delay_expr = delay_expr;
    proc.add_statement(s);
    proc.set_instance_id(_ctx.instance_path.empty() ? _top_module_name : _ctx.instance_path);
    wsim_timeseries::TimeSeriesDB::instance().register_line_instance(s.line(), proc.instance_id());
    kernel().add_process(std::move(proc));
}

bool SimulatorBuilder::hasDriveStrength(
    const std::pair<std::optional<DriveStrength>, std::optional<DriveStrength>>& strength) {
    // Strong is what a driver without strengths has.
    return (strength.first && *strength.first != DriveStrength::Strong) ||
           (strength.second && *strength.second != DriveStrength::Strong);
}

bool SimulatorBuilder::claimDriver(int target, slang::SourceLocation where) {
    // Two-valued signals cannot resolve drivers against each other or
    // against a supply: the driver that would need it is left out.
    auto& state = kernel();
    std::vector<std::pair<std::pair<int, int>, uint64_t>> claims;
    for (const auto& part : state.lvalues(target).parts) {
        if (part.sig.type == operand_t::LOCAL)
            continue;
        uint64_t bits = wsim_kernel::width_mask(part.sig_width);
        if (!part.whole && part.index_expr == 0) {
            const int64_t offset =
                part.descending ? part.index_adjust - part.right : part.right - part.index_adjust;
            bits = offset >= 0 && offset < 64
                       ? (wsim_kernel::width_mask(part.width) << offset) & bits
                       : 0;
        }
        const std::pair<int, int> key{static_cast<int>(part.sig.type), part.sig.pos};
        if (_supply_nets.count(key)) {
            reportNotModelled(where, "driver of a supply net");
            return false;
        }
        if (auto it = _driven_bits.find(key); it != _driven_bits.end() && (it->second & bits)) {
            reportNotModelled(where, "net with more than one driver");
            return false;
        }
        claims.emplace_back(key, bits);
    }
    for (const auto& [key, bits] : claims)
        _driven_bits[key] |= bits;
    return true;
}

int SimulatorBuilder::addProcess(process_t proc, const Program& prog) {
    auto& state = kernel();
    for (const assignment_t& s : prog)
        proc.add_statement(s);
    const std::string instance = proc.instance_id();
    auto& recorder = wsim_timeseries::TimeSeriesDB::instance();
    for (const assignment_t& s : prog)
        if (s.line() >= 0 && !instance.empty())
            recorder.register_line_instance(s.line(), instance);
    return state.add_process(std::move(proc));
}

namespace {

bool hasTiming(const SimulatorBuilder::Program& prog) {
    for (const auto& s : prog)
        if (s.type() == assign_t::DELAY || s.type() == assign_t::WAIT)
            return true;
    return false;
}

} // namespace

void SimulatorBuilder::compileProceduralBlock(const ProceduralBlockSymbol& block) {
    const ProceduralBlockKind kind = block.procedureKind;
    const int line = getLineNumber(block.location);
    const std::string path = instancePathOf(*block.getParentScope());

    Restore scope_guard(_ctx);
    _ctx = CodeContext{};
    _ctx.scope = block.getParentScope();
    _ctx.instance_path = path;
    _ctx.process_line = line;
    _ctx.origin = block.location;

    const Statement& body = block.getBody();
    // An assertion outside procedures comes as a procedure of its own, its
    // label making it a block.
    if (block.isFromAssertion) {
        if (body.kind == StatementKind::ConcurrentAssertion)
            compileAssertion(body.as<ConcurrentAssertionStatement>(), nullptr);
        else {
            Program ignored;
            compileStatement(body, ignored);
        }
        return;
    }

    const bool initial = kind == ProceduralBlockKind::Initial;
    wsim_kernel::proc_t type = wsim_kernel::proc_t::ALWAYS;
    if (initial)
        type = wsim_kernel::proc_t::INITIAL;
    else if (kind == ProceduralBlockKind::Final)
        type = wsim_kernel::proc_t::FINAL;
    else if (kind == ProceduralBlockKind::AlwaysComb || kind == ProceduralBlockKind::AlwaysLatch)
        type = wsim_kernel::proc_t::COMBO;
    _ctx.process_name = initial ? "init" : "always";
    process_t proc(line, _ctx.process_name, type);
    proc.set_instance_id(path.empty() ? _top_module_name : path);

    _ctx.procedure = &block;
    _ctx.clocked_body = clockedBody(block, _ctx.clock);
    Program prog;
    _pending_properties.clear();
    compileStatement(body, prog);
    switch (type) {
    case wsim_kernel::proc_t::COMBO: {
        // Runs once at time 0, then whenever something it reads changes.
        assignment_t wait(assign_t::WAIT, addLineContext(block.location));
        wait.events = sensitivityList(0, 0, true);
        prog.push_back(wait);
        break;
    }
    case wsim_kernel::proc_t::ALWAYS:
        if (!hasTiming(prog)) {
            // It would run forever without time passing.
            if (!prog.empty())
                reportNotModelled(block.location, "always block without timing control");
            return;
        }
        break;
    case wsim_kernel::proc_t::FINAL:
        if (hasTiming(prog)) {
            reportNotModelled(block.location, "timing control in a final block");
            return;
        }
        prog.push_back(assignment_t(assign_t::HALT, addLineContext(block.location)));
        break;
    default: prog.push_back(assignment_t(assign_t::HALT, addLineContext(block.location))); break;
    }
    if (prog.size() == 1 && prog[0].type() == assign_t::HALT)
        return;
    registerReachedProperties(prog);
    addProcess(std::move(proc), prog);
}
