// Concurrent assertions: an assert property becomes a kernel property and one
// PROP statement that fires on the property's clock. Three forms are modelled:
// an implication with an optional cycle delay, a plain boolean property, and a
// sequence of boolean steps separated by cycle delays.
#include "kernel_utils.h"
#include "simulator.h"
#include "timeseries.h"

#include <slang/syntax/AllSyntax.h>

#include <tuple>

using namespace slang::ast;
using wsim_kernel::assign_t;
using wsim_kernel::assignment_t;
using wsim_kernel::process_t;
using wsim_kernel::prop_step;
using wsim_kernel::sim_state;
using operand_t = wsim_kernel::operand_t;
using AssertionShape = SimulatorBuilder::AssertionShape;

namespace {

// Cover and restrict statements do not judge the design.
bool isChecked(AssertionKind kind) {
    return kind == AssertionKind::Assert || kind == AssertionKind::Assume;
}

bool isImplication(BinaryAssertionOperator op) {
    return op == BinaryAssertionOperator::OverlappedImplication ||
           op == BinaryAssertionOperator::NonOverlappedImplication ||
           op == BinaryAssertionOperator::Implies;
}

const SequenceConcatExpr* concatOf(const AssertionExpr& ae) {
    return ae.kind == AssertionExprKind::SequenceConcat ? &ae.as<SequenceConcatExpr>() : nullptr;
}

int minimumDelay(const SequenceConcatExpr::Element& element) {
    return static_cast<int>(element.delay.min);
}

// The property under its clock, abort and disable wrappers; `disable` gets the
// condition of the outermost disable iff.
const AssertionExpr& unwrapProperty(const AssertionExpr& ae, const Expression*& disable) {
    switch (ae.kind) {
    case AssertionExprKind::Clocking:
        return unwrapProperty(ae.as<ClockingAssertionExpr>().expr, disable);
    case AssertionExprKind::Abort:
        return unwrapProperty(ae.as<AbortAssertionExpr>().expr, disable);
    case AssertionExprKind::DisableIff: {
        const auto& d = ae.as<DisableIffAssertionExpr>();
        if (!disable)
            disable = &d.condition;
        return unwrapProperty(d.expr, disable);
    }
    default:
        return ae;
    }
}

// Raises a flag for the life of the guard.
class FlagRaised {
public:
    explicit FlagRaised(bool& flag) : flag_(flag) { flag_ = true; }
    ~FlagRaised() { flag_ = false; }
    FlagRaised(const FlagRaised&) = delete;
    FlagRaised& operator=(const FlagRaised&) = delete;

private:
    bool& flag_;
};

int positionOf(const SimulatorBuilder& b, const std::string& name) {
    auto it = b.signal_positions.find(b.resolveSignalName(name));
    return it == b.signal_positions.end() ? 0 : it->second;
}

} // namespace

const Expression* SimulatorBuilder::extractExprFromAssertionExpr(const AssertionExpr& ae) {
    if (ae.kind != AssertionExprKind::Simple)
        return nullptr;
    const auto& simple = ae.as<SimpleAssertionExpr>();
    // A repeated expression (a[*3]) is a sequence, not a condition.
    return simple.repetition ? nullptr : &simple.expr;
}

AssertionShape SimulatorBuilder::extractImplicationSides(const AssertionExpr& ae,
                                                         const AssertionExpr*& antecedent,
                                                         const AssertionExpr*& consequent,
                                                         int& sequence_delay) {
    antecedent = nullptr;
    consequent = nullptr;
    sequence_delay = 0;
    switch (ae.kind) {
    case AssertionExprKind::Binary: {
        const auto& bin = ae.as<BinaryAssertionExpr>();
        if (!isImplication(bin.op))
            return AssertionShape::Unknown;
        antecedent = &bin.left;
        consequent = &bin.right;
        if (const SequenceConcatExpr* concat = concatOf(bin.right)) {
            // Only a single delayed step is modelled; checking the first step
            // of a longer consequent alone would pass what should fail.
            if (concat->elements.size() != 1)
                return AssertionShape::Unknown;
            sequence_delay = minimumDelay(concat->elements[0]);
            consequent = concat->elements[0].sequence;
        }
        if (bin.op == BinaryAssertionOperator::NonOverlappedImplication)
            ++sequence_delay;
        return AssertionShape::Implication;
    }
    case AssertionExprKind::SequenceConcat: {
        const auto& concat = ae.as<SequenceConcatExpr>();
        // `##N a` alone: a must hold N cycles after every clock.
        if (concat.elements.size() == 1) {
            sequence_delay = minimumDelay(concat.elements[0]);
            consequent = concat.elements[0].sequence;
            return AssertionShape::Simple;
        }
        consequent = &ae;
        return AssertionShape::PureSequence;
    }
    case AssertionExprKind::Simple:
        consequent = &ae;
        return AssertionShape::Simple;
    default:
        return AssertionShape::Unknown;
    }
}

std::pair<int, int> SimulatorBuilder::extractClockFromAssertionExpr(const AssertionExpr& ae) {
    if (ae.kind != AssertionExprKind::Clocking)
        return {0, 0};
    storeTimingControl(ae.as<ClockingAssertionExpr>().clocking);
    return buildFreshTrigger();
}

bool SimulatorBuilder::buildSequenceSteps(const AssertionExpr& ae,
                                          std::vector<prop_step>& steps_out, int stmt_line) {
    const SequenceConcatExpr* concat = concatOf(ae);
    if (!concat)
        return false;
    for (const auto& element : concat->elements) {
        const Expression* expr = extractExprFromAssertionExpr(*element.sequence);
        int t = 0;
        int f = 0;
        if (!expr || !buildConditionLambdas(expr, stmt_line, t, f))
            return false;
        steps_out.push_back(prop_step{t, minimumDelay(element)});
    }
    return !steps_out.empty();
}

std::string SimulatorBuilder::assertionLabel(const AssertionSite& site) {
    if (!site.user_label.empty())
        return site.user_label;
    if (site.stmt->syntax && site.stmt->syntax->label) {
        const std::string_view name = site.stmt->syntax->label->name.valueText();
        if (!name.empty())
            return std::string(name);
    }
    // Results are kept by label, so two unlabelled assertions must not share one.
    const std::string base = "assert_L" + std::to_string(site.stmt_line);
    const int seen = ++_unlabelled_assertions_by_line[site.stmt_line];
    return seen == 1 ? base : base + "_" + std::to_string(seen);
}

void SimulatorBuilder::emitPropertyStatement(const AssertionSite& site, int prop_idx, int source,
                                             int expression) {
    const int ctx = addLineContext(site.file_id, site.stmt_line);
    assignment_t& stored = addProceduralStatement(
        *site.proc, assignment_t(assign_t::PROP, static_cast<time_t>(site.delay), prop_idx,
                                 source, expression, ctx, site.trigger_idx, site.trig_ack_idx, 0,
                                 site.proc_line, operand_t::BIT, operand_t::BIT));
    stored.set_instance_id(_current_scope_prefix);
    _pending_stable_deps.clear();
}

bool SimulatorBuilder::addSequenceProperty(const AssertionSite& site,
                                           const AssertionExpr& sequence) {
    std::vector<prop_step> steps;
    if (!buildSequenceSteps(sequence, steps, site.stmt_line))
        return false;
    const std::string label = assertionLabel(site);
    wsim_timeseries::TimeSeriesDB::instance().register_property(label, site.stmt_line, "",
                                                                "sequence");
    wsim_kernel::prop_t prop(label, site.stmt_line);
    prop.sequence_steps = steps;
    prop.disable_iff_exp = site.disable_exp;
    for (int dep : _pending_stable_deps)
        prop.add_stable_dep(dep);
    emitPropertyStatement(site, sim_state::instance().add_prop(prop),
                          steps.front().condition_exp, 0);
    return true;
}

bool SimulatorBuilder::addImplicationProperty(const AssertionSite& site,
                                              const AssertionExpr* antecedent,
                                              const AssertionExpr& consequent,
                                              int sequence_delay) {
    auto& state = sim_state::instance();
    int ant_true = 0;
    int ant_false = 0;
    const Expression* ant_expr = nullptr;
    if (antecedent) {
        ant_expr = extractExprFromAssertionExpr(*antecedent);
        if (!ant_expr || !buildConditionLambdas(ant_expr, site.stmt_line, ant_true, ant_false))
            return false;
    }
    int con_true = 0;
    int con_false = 0;
    const Expression* con_expr = extractExprFromAssertionExpr(consequent);
    if (!con_expr || !buildConditionLambdas(con_expr, site.stmt_line, con_true, con_false))
        return false;

    const std::string ant_name = ant_expr ? extractSignalName(*ant_expr) : "";
    const std::string con_name = extractSignalName(*con_expr);
    const std::string label = assertionLabel(site);
    wsim_kernel::prop_t prop(label, site.stmt_line);
    prop.sequence_delay = sequence_delay;
    prop.disable_iff_exp = site.disable_exp;
    for (int dep : _pending_stable_deps)
        prop.add_stable_dep(dep);
    prop.set_signal_positions(positionOf(*this, ant_name), positionOf(*this, con_name));
    const int prop_idx = state.add_prop(prop);
    wsim_timeseries::TimeSeriesDB::instance().register_property(label, site.stmt_line, ant_name,
                                                                con_name);

    // While disabled no attempt starts; a plain property holds.
    const int disable = site.disable_exp;
    int source = ant_true;
    int expression = con_true;
    if (disable != 0 && ant_true != 0) {
        source = state.add_exp([disable, ant_true] {
            auto& s = sim_state::instance();
            return !s.exps(disable)() && s.exps(ant_true)();
        });
    } else if (disable != 0) {
        expression = state.add_exp([disable, con_true] {
            auto& s = sim_state::instance();
            return s.exps(disable)() || s.exps(con_true)();
        });
    }
    emitPropertyStatement(site, prop_idx, source, expression);
    return true;
}

bool SimulatorBuilder::processAssertProperty(const ConcurrentAssertionStatement& apStmt,
                                             process_t& proc, ProceduralBlockKind, int delay,
                                             int stmt_line, int proc_line, int trigger_idx,
                                             int trig_ack_idx, int, WEdgeKind,
                                             const std::string& user_label) {
    if (!isChecked(apStmt.assertionKind))
        return false;
    if (trigger_idx == 0) {
        stored_event_list.clear();
        stored_sig_pos = 0;
        stored_edge = WEdgeKind::None;
        stored_sig_type = operand_t::BIT;
        std::tie(trigger_idx, trig_ack_idx) = extractClockFromAssertionExpr(apStmt.propertySpec);
    }
    // Without a clock the property would be judged at whatever steps happen to run.
    if (trigger_idx == 0)
        return false;

    const Expression* disable_expr = nullptr;
    const AssertionExpr& property = unwrapProperty(apStmt.propertySpec, disable_expr);
    const AssertionExpr* ant = nullptr;
    const AssertionExpr* con = nullptr;
    int sequence_delay = 0;
    const AssertionShape shape = extractImplicationSides(property, ant, con, sequence_delay);
    if (shape == AssertionShape::Unknown)
        return false;

    AssertionSite site;
    site.proc = &proc;
    site.stmt = &apStmt;
    site.user_label = user_label;
    site.delay = delay;
    site.stmt_line = stmt_line;
    site.proc_line = proc_line;
    site.file_id = get_file_id(apStmt.sourceRange.start());
    site.trigger_idx = trigger_idx;
    site.trig_ack_idx = trig_ack_idx;

    _pending_stable_deps.clear();
    FlagRaised building(_building_property);
    // A disable condition that cannot be built leaves the property undisabled.
    // It reads current values: a reset that lands at a clock edge counts at
    // that edge.
    int disable_true = 0;
    int disable_false = 0;
    if (disable_expr && buildConditionLambdas(disable_expr, stmt_line, disable_true, disable_false))
        site.disable_exp = sim_state::instance().add_exp(
            wsim_kernel::make_current_value_exp(static_cast<unsigned>(disable_true)));
    if (shape == AssertionShape::PureSequence)
        return addSequenceProperty(site, *con);
    return addImplicationProperty(site, ant, *con, sequence_delay);
}
