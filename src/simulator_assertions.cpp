// Concurrent assertions: an assert property becomes a kernel property judged
// on its clock. Modelled: a sequence of boolean steps separated by bounded
// cycle delays (a lone boolean is a sequence of one step), asserted on its
// own or as the consequent of an implication whose antecedent is a boolean.
// Any other operator is reported and the assertion is left out rather than
// checked as something else. One written in a procedure is attempted only
// where the procedure reaches it, clocked by its own clock or the one the
// procedure gives.
#include "simulator.h"
#include "timeseries.h"

#include <slang/syntax/AllSyntax.h>

#include <algorithm>
#include <set>
#include <vector>

using namespace slang::ast;
using wsim_kernel::assign_t;
using wsim_kernel::assignment_t;
using wsim_kernel::prop_step;
using wsim_kernel::sim_state;

namespace {

// Cover and restrict statements do not judge the design.
bool isChecked(AssertionKind kind) {
    return kind == AssertionKind::Assert || kind == AssertionKind::Assume;
}

std::string binaryOperatorPhrase(BinaryAssertionOperator op) {
    switch (op) {
    case BinaryAssertionOperator::And: return "and";
    case BinaryAssertionOperator::Or: return "or";
    case BinaryAssertionOperator::Intersect: return "intersect";
    case BinaryAssertionOperator::Throughout: return "throughout";
    case BinaryAssertionOperator::Within: return "within";
    case BinaryAssertionOperator::Iff: return "iff";
    case BinaryAssertionOperator::Until: return "until";
    case BinaryAssertionOperator::SUntil: return "s_until";
    case BinaryAssertionOperator::UntilWith: return "until_with";
    case BinaryAssertionOperator::SUntilWith: return "s_until_with";
    case BinaryAssertionOperator::OverlappedFollowedBy: return "#-#";
    case BinaryAssertionOperator::NonOverlappedFollowedBy: return "#=#";
    default: break;
    }
    return "implication";
}

slang::SourceLocation placeOf(const AssertionExpr& ae) {
    return ae.syntax ? ae.syntax->sourceRange().start() : slang::SourceLocation();
}

[[noreturn]] void refuse(const std::string& what, const AssertionExpr& ae) {
    SimulatorBuilder::unmodelled(what, placeOf(ae));
}

// What an assertion expression that is not modelled is called.
std::string phraseOf(const AssertionExpr& ae) {
    switch (ae.kind) {
    case AssertionExprKind::Binary: {
        const auto op = ae.as<BinaryAssertionExpr>().op;
        if (op == BinaryAssertionOperator::OverlappedImplication ||
            op == BinaryAssertionOperator::NonOverlappedImplication ||
            op == BinaryAssertionOperator::Implies)
            return "nested implication";
        return "assertion operator " + binaryOperatorPhrase(op);
    }
    case AssertionExprKind::Unary:
        switch (ae.as<UnaryAssertionExpr>().op) {
        case UnaryAssertionOperator::Not: return "assertion operator not";
        case UnaryAssertionOperator::NextTime:
        case UnaryAssertionOperator::SNextTime: return "assertion operator nexttime";
        case UnaryAssertionOperator::Always:
        case UnaryAssertionOperator::SAlways: return "assertion operator always";
        default: return "assertion operator eventually";
        }
    case AssertionExprKind::FirstMatch: return "assertion operator first_match";
    case AssertionExprKind::SequenceWithMatch: return "sequence match item";
    case AssertionExprKind::StrongWeak: return "assertion operator strong/weak";
    case AssertionExprKind::Conditional: return "property if/else";
    case AssertionExprKind::Case: return "property case";
    case AssertionExprKind::Clocking: return "clock inside a property";
    case AssertionExprKind::Abort: return "assertion operator accept_on/reject_on";
    case AssertionExprKind::DisableIff: return "disable iff inside a property";
    case AssertionExprKind::SequenceConcat: return "sequence inside a sequence";
    default: return "assertion expression";
    }
}

// The boolean expression of a step; repetitions and other sequences are
// refused.
// A sequence or property declared apart and used by its name.
void refuseInstance(const AssertionExpr& ae) {
    if (ae.kind == AssertionExprKind::Simple &&
        ae.as<SimpleAssertionExpr>().expr.kind == ExpressionKind::AssertionInstance)
        refuse("sequence or property instance", ae);
}

const Expression& booleanOf(const AssertionExpr& ae) {
    if (ae.kind != AssertionExprKind::Simple)
        refuse(phraseOf(ae), ae);
    refuseInstance(ae);
    const auto& simple = ae.as<SimpleAssertionExpr>();
    if (simple.repetition) {
        switch (simple.repetition->kind) {
        case SequenceRepetition::Consecutive: refuse("assertion operator [*n]", ae);
        case SequenceRepetition::Nonconsecutive: refuse("assertion operator [=n]", ae);
        case SequenceRepetition::GoTo: refuse("assertion operator [->n]", ae);
        }
    }
    return simple.expr;
}

struct SequenceStep {
    const Expression* condition;
    uint64_t min_delay;
    uint64_t max_delay;
};

// The steps of a sequence: a lone boolean is one step without delay.
std::vector<SequenceStep> stepsOf(const AssertionExpr& ae) {
    if (ae.kind != AssertionExprKind::SequenceConcat)
        return {{&booleanOf(ae), 0, 0}};
    std::vector<SequenceStep> steps;
    for (const auto& element : ae.as<SequenceConcatExpr>().elements) {
        if (!element.delay.max)
            refuse("assertion operator ##[m:$]", ae);
        steps.push_back({&booleanOf(*element.sequence), element.delay.min, *element.delay.max});
    }
    return steps;
}

// The property under its clock, abort and disable wrappers.
const AssertionExpr& unwrapProperty(const AssertionExpr& ae, const Expression*& disable,
                                    const TimingControl*& clock) {
    switch (ae.kind) {
    case AssertionExprKind::Clocking: {
        const auto& c = ae.as<ClockingAssertionExpr>();
        if (!clock)
            clock = &c.clocking;
        return unwrapProperty(c.expr, disable, clock);
    }
    case AssertionExprKind::Abort: refuse(phraseOf(ae), ae);
    case AssertionExprKind::DisableIff: {
        const auto& d = ae.as<DisableIffAssertionExpr>();
        if (!disable)
            disable = &d.condition;
        return unwrapProperty(d.expr, disable, clock);
    }
    default: refuseInstance(ae); return ae;
    }
}

// What a procedure's body does besides waiting at the event control in
// front of it: whether it waits anywhere else (also inside the tasks it
// calls), and the symbols it names outside its concurrent assertions.
struct ProcedureScan : public ASTVisitor<ProcedureScan, true, true> {
    bool waits = false;
    std::set<const Symbol*> named;
    std::set<const SubroutineSymbol*>* tasks_scanned = nullptr;

    void handle(const TimedStatement&) { waits = true; }
    void handle(const WaitStatement&) { waits = true; }
    void handle(const WaitForkStatement&) { waits = true; }
    void handle(const WaitOrderStatement&) { waits = true; }
    void handle(const ConcurrentAssertionStatement&) {}
    void handle(const AssignmentExpression& a) {
        if (a.timingControl && !a.isNonBlocking())
            waits = true;
        visitDefault(a);
    }
    void handle(const CallExpression& c) {
        const auto* sub = std::get_if<const SubroutineSymbol*>(&c.subroutine);
        if (sub && *sub && (*sub)->subroutineKind == SubroutineKind::Task &&
            tasks_scanned->insert(*sub).second) {
            ProcedureScan inner;
            inner.tasks_scanned = tasks_scanned;
            (*sub)->getBody().visit(inner);
            waits = waits || inner.waits;
        }
        visitDefault(c);
    }
    void handle(const NamedValueExpression& e) { named.insert(&e.symbol); }
    void handle(const HierarchicalValueExpression& e) { named.insert(&e.symbol); }
};

struct NamesIn : public ASTVisitor<NamesIn, false, true> {
    std::vector<const Symbol*> names;
    void handle(const NamedValueExpression& e) { names.push_back(&e.symbol); }
    void handle(const HierarchicalValueExpression& e) { names.push_back(&e.symbol); }
};

// The first operand of an assertion in a procedure whose value is taken as
// the procedure reaches the assertion, not at its clock (IEEE 1800
// 16.14.6.1): an automatic variable or a const cast. Not modelled.
struct ValuesTakenWhenReached : public ASTVisitor<ValuesTakenWhenReached, false, true> {
    const Expression* found = nullptr;
    std::string phrase;
    void handle(const NamedValueExpression& e) {
        if (!found && e.symbol.kind == SymbolKind::Variable &&
            e.symbol.as<VariableSymbol>().lifetime == VariableLifetime::Automatic) {
            found = &e;
            phrase = "automatic variable in a procedural assertion";
        }
    }
    void handle(const ConversionExpression& c) {
        if (!found && c.isConstCast) {
            found = &c;
            phrase = "const cast in a procedural assertion";
        }
        visitDefault(c);
    }
};

// The clock a procedure gives the concurrent assertions in it that name
// none (IEEE 1800 16.14.6): its one event control, in front of a body that
// waits nowhere else, holds exactly one edge event whose signals the body
// does not read; the other events are resets and the like.
const TimingControl* inferredClock(const ProceduralBlockSymbol& block) {
    const ProceduralBlockKind kind = block.procedureKind;
    if (kind != ProceduralBlockKind::Always && kind != ProceduralBlockKind::AlwaysFF &&
        kind != ProceduralBlockKind::Initial)
        return nullptr;
    const Statement& body = block.getBody();
    if (body.kind != StatementKind::Timed)
        return nullptr;
    const auto& timed = body.as<TimedStatement>();
    std::vector<const TimingControl*> events;
    if (timed.timing.kind == TimingControlKind::SignalEvent)
        events.push_back(&timed.timing);
    else if (timed.timing.kind == TimingControlKind::EventList)
        for (const TimingControl* t : timed.timing.as<EventListControl>().events)
            events.push_back(t);
    if (events.empty())
        return nullptr;
    std::set<const SubroutineSymbol*> tasks_scanned;
    ProcedureScan scan;
    scan.tasks_scanned = &tasks_scanned;
    timed.stmt.visit(scan);
    if (scan.waits)
        return nullptr;
    const TimingControl* found = nullptr;
    for (const TimingControl* t : events) {
        if (t->kind != TimingControlKind::SignalEvent ||
            t->as<SignalEventControl>().edge == EdgeKind::None)
            continue;
        NamesIn signals;
        t->as<SignalEventControl>().expr.visit(signals);
        if (std::any_of(signals.names.begin(), signals.names.end(),
                        [&](const Symbol* s) { return scan.named.count(s) != 0; }))
            continue;
        if (found)
            return nullptr;
        found = t;
    }
    return found;
}

} // namespace

std::string SimulatorBuilder::primarySignalName(const Expression& expr) {
    const Expression& e = expr.unwrapImplicitConversions();
    switch (e.kind) {
    case ExpressionKind::Call: {
        const auto& call = e.as<CallExpression>();
        const auto name = call.getSubroutineName();
        if (!call.isSystemCall() || (name != "$signed" && name != "$unsigned") ||
            call.arguments().empty())
            return "";
        return primarySignalName(*call.arguments()[0]);
    }
    case ExpressionKind::NamedValue:
    case ExpressionKind::HierarchicalValue: {
        const Symbol& sym = e.as<ValueExpressionBase>().symbol;
        if (sym.kind != SymbolKind::Variable && sym.kind != SymbolKind::Net)
            return "";
        return signalName(sym.as<ValueSymbol>());
    }
    case ExpressionKind::ElementSelect: {
        const auto& select = e.as<ElementSelectExpression>();
        const std::string base = primarySignalName(select.value());
        if (base.empty())
            return "";
        if (auto index = constantValue(select.selector()))
            return base + "[" + std::to_string(static_cast<int>(*index)) + "]";
        return base;
    }
    case ExpressionKind::RangeSelect: return primarySignalName(e.as<RangeSelectExpression>().value());
    case ExpressionKind::BinaryOp: {
        const auto& bin = e.as<BinaryExpression>();
        const Expression& left = bin.left().unwrapImplicitConversions();
        const Expression& right = bin.right().unwrapImplicitConversions();
        const std::string l = primarySignalName(left);
        if (right.kind == ExpressionKind::IntegerLiteral && !l.empty())
            return l;
        const std::string r = primarySignalName(right);
        if (left.kind == ExpressionKind::IntegerLiteral && !r.empty())
            return r;
        return l;
    }
    default: return "";
    }
}

int SimulatorBuilder::conditionClosure(const Expression& e) {
    const int expr = compileExpression(e);
    return sim_state::instance().add_exp(
        [expr] { return sim_state::instance().eval(expr) != 0; });
}

namespace {

struct WrittenLabels : public ASTVisitor<WrittenLabels, true, false> {
    std::set<std::string> labels;
    void handle(const ConcurrentAssertionStatement& stmt) {
        if (stmt.syntax && stmt.syntax->label)
            labels.insert(std::string(stmt.syntax->label->name.valueText()));
    }
    void handle(const GenerateBlockSymbol& block) {
        if (!block.isUninstantiated)
            visitDefault(block);
    }
};

} // namespace

void SimulatorBuilder::collectWrittenLabels(const RootSymbol& root) {
    WrittenLabels written;
    root.visit(written);
    _written_labels = std::move(written.labels);
}

std::string SimulatorBuilder::uniqueLabel(const std::string& base, bool written) {
    // No property takes a label the design writes on another one.
    const auto free = [&](const std::string& label) {
        return !_property_labels.contains(label) &&
               (!_written_labels.contains(label) || (written && label == base));
    };
    std::string label = base;
    for (int seen = 2; !free(label); ++seen)
        label = base + "_" + std::to_string(seen);
    _property_labels.insert(label);
    return label;
}

int SimulatorBuilder::registerProperty(const CompiledProperty& compiled) {
    const std::string label = uniqueLabel(compiled.label, compiled.labelled);
    wsim_kernel::prop_t prop(label, compiled.line);
    prop.disable_iff_expr = compiled.disable;
    prop.procedural = compiled.procedural;
    prop.antecedent_exp = compiled.antecedent;
    prop.steps = compiled.steps;
    for (int dep : compiled.stable_deps)
        prop.add_stable_dep(dep);
    wsim_timeseries::TimeSeriesDB::instance().register_property(
        label, compiled.line, compiled.antecedent_name, compiled.consequent_name, compiled.holder);
    const int prop_index = sim_state::instance().add_prop(prop);

    wsim_kernel::process_t proc(compiled.line, "assert", wsim_kernel::proc_t::ASSERT);
    proc.set_instance_id(compiled.instance_id);
    assignment_t s(assign_t::PROP, compiled.line_ctx);
    s.events = compiled.events;
    s.table = prop_index;
    addProcess(std::move(proc), Program{s});
    return prop_index;
}

void SimulatorBuilder::registerReachedProperties(Program& prog) {
    for (assignment_t& s : prog)
        if (s.type() == assign_t::ATTEMPT)
            s.table = registerProperty(_pending_properties.at(static_cast<size_t>(s.table)));
    _pending_properties.clear();
}

void SimulatorBuilder::compileAssertion(const ConcurrentAssertionStatement& stmt,
                                        Program* procedure) {
    const slang::SourceLocation where = stmt.sourceRange.start();
    if (!isChecked(stmt.assertionKind)) {
        reportNotModelled(where, stmt.assertionKind == AssertionKind::CoverProperty
                                     ? "cover property"
                                     : "assertion of this kind");
        return;
    }
    if (procedure && !_ctx.inferred_clock)
        _ctx.inferred_clock = inferredClock(*_ctx.procedure);
    try {
        Restore keep(_ctx);
        _ctx.in_property = true;
        _ctx.stable_deps.clear();

        const Expression* disable_expr = nullptr;
        const TimingControl* clock = nullptr;
        const AssertionExpr& property = unwrapProperty(stmt.propertySpec, disable_expr, clock);
        if (!clock && procedure)
            clock = *_ctx.inferred_clock;
        if (!clock)
            unmodelled(procedure ? "assertion in a procedure that gives no clock"
                                 : "assertion without a clock",
                       where);
        if (procedure) {
            ValuesTakenWhenReached taken;
            stmt.propertySpec.visit(taken);
            if (taken.found)
                unmodelled(taken.phrase, taken.found->sourceRange.start());
        }

        // Take the property apart before anything is registered.
        const Expression* antecedent = nullptr;
        std::vector<SequenceStep> steps;
        switch (property.kind) {
        case AssertionExprKind::Binary: {
            const auto& bin = property.as<BinaryAssertionExpr>();
            if (bin.op != BinaryAssertionOperator::OverlappedImplication &&
                bin.op != BinaryAssertionOperator::NonOverlappedImplication &&
                bin.op != BinaryAssertionOperator::Implies)
                refuse("assertion operator " + binaryOperatorPhrase(bin.op), property);
            if (bin.left.kind == AssertionExprKind::SequenceConcat)
                refuse("multi-step antecedent", bin.left);
            antecedent = &booleanOf(bin.left);
            steps = stepsOf(bin.right);
            if (bin.op == BinaryAssertionOperator::NonOverlappedImplication) {
                ++steps[0].min_delay;
                ++steps[0].max_delay;
            }
            break;
        }
        case AssertionExprKind::SequenceConcat:
        case AssertionExprKind::Simple: steps = stepsOf(property); break;
        default: refuse(phraseOf(property), property);
        }

        const int events = compileEventList(*clock);
        // A disable condition reads current values: a reset that lands at a
        // clock edge counts at that edge.
        const int disable = disable_expr ? compileExpression(*disable_expr) : 0;

        CompiledProperty compiled;
        compiled.line = getLineNumber(where);
        compiled.labelled =
            stmt.syntax && stmt.syntax->label && !stmt.syntax->label->name.valueText().empty();
        compiled.label = compiled.labelled
                             ? std::string(stmt.syntax->label->name.valueText())
                             : "assert_L" + std::to_string(compiled.line);
        compiled.line_ctx = addLineContext(where);
        compiled.events = events;
        compiled.disable = disable;
        if (antecedent)
            compiled.antecedent = conditionClosure(*antecedent);
        for (const SequenceStep& step : steps)
            compiled.steps.push_back(
                prop_step{conditionClosure(*step.condition), step.min_delay, step.max_delay});
        compiled.stable_deps = _ctx.stable_deps;
        compiled.antecedent_name = antecedent ? primarySignalName(*antecedent) : "";
        compiled.consequent_name =
            steps.size() == 1 ? primarySignalName(*steps[0].condition) : "sequence";
        // The property's window shows the instance that holds it.
        compiled.holder = _ctx.scope ? fullInstancePathOf(*_ctx.scope) : _top_module_name;
        compiled.instance_id = _ctx.instance_path.empty() ? _top_module_name : _ctx.instance_path;
        compiled.procedural = procedure != nullptr;
        if (procedure) {
            // Registered with the procedure, if it is kept and still reaches it.
            assignment_t reach(assign_t::ATTEMPT, compiled.line_ctx);
            reach.table = static_cast<int>(_pending_properties.size());
            _pending_properties.push_back(std::move(compiled));
            procedure->push_back(reach);
        } else {
            registerProperty(compiled);
        }
        // Its results are recorded; what it runs when it passes or fails is not.
        for (const Statement* action : {stmt.ifTrue, stmt.ifFalse})
            if (action && action->kind != StatementKind::Empty)
                reportNotModelled(action->sourceRange.start(), "assertion action block");
    } catch (const Unmodelled& u) {
        reportNotModelled(u.where.valid() ? u.where : where, u.construct);
    }
}
