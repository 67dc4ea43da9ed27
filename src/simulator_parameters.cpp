// Parameter values in the model: slang's elaborated value, except where it
// comes from a call of the design's own functions, which the model's code
// computes as a run would. A parameter slang gives another type than the
// language does (an untyped one set by a defparam of another type) is left
// out wherever it is used.
#include "simulator.h"

#include <algorithm>

using namespace slang::ast;
using wsim_kernel::sim_state;

namespace {

constexpr const char* mistyped_phrase = "defparam that changes a parameter's type";

// The parameters an expression names, and whether it calls a function of
// the design.
class ValueDependencies : public ASTVisitor<ValueDependencies, false, true> {
public:
    bool calls_function = false;
    std::vector<const ParameterSymbol*> parameters;

    void handle(const CallExpression& call) {
        if (!call.isSystemCall())
            calls_function = true;
        visitDefault(call);
    }
    void handle(const NamedValueExpression& e) { named(e.symbol); }
    void handle(const HierarchicalValueExpression& e) { named(e.symbol); }

private:
    void named(const Symbol& sym) {
        if (sym.kind == SymbolKind::Parameter)
            parameters.push_back(&sym.as<ParameterSymbol>());
    }
};

ValueDependencies dependenciesOf(const Expression& e) {
    ValueDependencies deps;
    e.visit(deps);
    return deps;
}

} // namespace

const DefparamTargets& SimulatorBuilder::defparams(const Scope& any_scope) {
    if (!_defparams)
        _defparams = defparamTargets(any_scope.getCompilation().getRoot());
    return *_defparams;
}

std::pair<const Expression*, const Scope*>
SimulatorBuilder::valueSource(const ParameterSymbol& param) {
    const Scope* scope = param.getParentScope();
    if (!scope)
        return {nullptr, nullptr};
    const DefparamTargets& set_by = defparams(*scope);
    if (auto it = set_by.find(&param); it != set_by.end())
        return {&it->second->getInitializer(), it->second->getParentScope()};
    // An instance's override is written where the instance is.
    if (param.isOverridden() && scope->asSymbol().kind == SymbolKind::InstanceBody)
        if (const InstanceSymbol* inst = scope->asSymbol().as<InstanceBodySymbol>().parentInstance)
            scope = inst->getParentScope();
    return {param.getInitializer(), scope};
}

std::optional<uint64_t> SimulatorBuilder::parameterValue(const ParameterSymbol& param) {
    if (auto it = _parameter_values.find(&param); it != _parameter_values.end())
        return it->second;
    _parameter_values[&param] = std::nullopt;
    // slang's evaluation of a constant function loses the sign of a variable
    // written through a concatenation ({t} = v); the model's code does not.
    std::optional<uint64_t> value;
    const auto [init, scope] = valueSource(param);
    if (init && scope) {
        const ValueDependencies deps = dependenciesOf(*init);
        const bool computed =
            deps.calls_function ||
            std::any_of(deps.parameters.begin(), deps.parameters.end(),
                        [&](const ParameterSymbol* p) { return parameterValue(*p).has_value(); });
        if (computed) {
            Restore<CodeContext> keep_context(_ctx);
            Restore<bool> keep_muted(_reports_muted);
            Restore<size_t> keep_left_out(_left_out_count);
            _ctx = CodeContext{};
            _ctx.scope = scope;
            _reports_muted = true;
            try {
                const int expr = compileConverted(*init, param.getType());
                if (readsOf(expr, true).empty())
                    value = sim_state::instance().eval_constant(expr);
            } catch (const Unmodelled&) {
                // slang's value stands.
            }
        }
    }
    _parameter_values[&param] = value;
    return value;
}

bool SimulatorBuilder::parameterMistyped(const ParameterSymbol& param) {
    const Scope* scope = param.getParentScope();
    if (!scope || defparams(*scope).empty())
        return false;
    if (auto it = _mistyped_parameters.find(&param); it != _mistyped_parameters.end())
        return it->second;
    _mistyped_parameters[&param] = false;
    bool mistyped = false;
    if (auto it = _defparams->find(&param); it != _defparams->end())
        mistyped = defparamRetypes(*it->second, param);
    if (const Expression* init = valueSource(param).first; init && !mistyped) {
        const ValueDependencies deps = dependenciesOf(*init);
        mistyped = std::any_of(deps.parameters.begin(), deps.parameters.end(),
                               [&](const ParameterSymbol* p) { return parameterMistyped(*p); });
    }
    _mistyped_parameters[&param] = mistyped;
    return mistyped;
}

void SimulatorBuilder::refuseMistypedParameters(const Expression& e) {
    if (!_ctx.scope || defparams(*_ctx.scope).empty())
        return;
    for (const ParameterSymbol* p : dependenciesOf(e).parameters)
        if (parameterMistyped(*p))
            unmodelled(mistyped_phrase, e.sourceRange.start());
}

void SimulatorBuilder::handle(const DefParamSymbol& defparam) {
    const Symbol* target = defparam.getTarget();
    if (target && target->kind == SymbolKind::Parameter &&
        parameterMistyped(target->as<ParameterSymbol>()))
        reportNotModelled(defparam.location, mistyped_phrase);
}
