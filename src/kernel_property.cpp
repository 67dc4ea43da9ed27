// Concurrent properties. Cycle delays count ticks of the property's clock;
// an attempt is a set of windows, one per step it may be waiting at, so a
// delay range costs one window rather than one thread per cycle.
#include "kernel.h"

#include <algorithm>
#include <utility>

namespace wsim_kernel {

namespace {

const char* state_result(implication_t s) {
    switch (s) {
    case implication_t::PREDICATE_TRUE: return "PENDING";
    case implication_t::FAIL: return "FAIL";
    case implication_t::TRUE: return "PASS";
    case implication_t::VACUOUS: break;
    }
    return "VACUOUS";
}

bool call_exp(int index) { return sim_state::instance().exps(index)(); }

// Adds ticks [from, to] to the step's windows, joining a window they touch.
void add_window(std::vector<prop_t::window>& waits, size_t step, uint64_t from, uint64_t to) {
    for (prop_t::window& w : waits) {
        if (w.step == step && from <= w.to + 1 && w.from <= to + 1) {
            w.from = std::min(w.from, from);
            w.to = std::max(w.to, to);
            return;
        }
    }
    waits.push_back({step, from, to});
}

} // namespace

prop_t::prop_t(const std::string& label, int line) : _label(label), _line(line) {}

bool prop_t::disabled() const {
    return disable_iff_expr != 0 &&
           sim_state::instance().holds_on_current_values(disable_iff_expr);
}

// The disable condition counts at any time an attempt is in flight, not only
// at the ticks.
void prop_t::disable_in_flight(time_t now) {
    if (_attempts.empty() || !disabled())
        return;
    _attempts.clear();
    if (_state != implication_t::VACUOUS) {
        _state = implication_t::VACUOUS;
        report(state_result(_state), now);
    }
}

void prop_t::report(const char* result, time_t now) {
    _shown = result;
    wsim_timeseries::TimeSeriesDB::instance().record_property_result(_label, _line, result, now);
}

bool prop_t::step_holds(size_t step) {
    int8_t& h = _holds[step];
    if (h < 0)
        h = call_exp(steps[step].condition_exp) ? 1 : 0;
    return h != 0;
}

// Moves an attempt through one tick. It passes at its first match and fails
// once it waits nowhere.
prop_t::outcome prop_t::advance(attempt& a, uint64_t tick) {
    std::vector<uint8_t>& reached = _reached;
    reached.assign(steps.size(), 0);
    for (const window& w : a.waits)
        if (w.from <= tick && tick <= w.to)
            reached[w.step] = 1;
    // A step reached now can reach the next one now as well (##0).
    for (size_t s = 0; s < steps.size(); ++s) {
        if (!reached[s] || !step_holds(s))
            continue;
        if (s + 1 == steps.size())
            return outcome::PASS;
        const prop_step& next = steps[s + 1];
        add_window(a.waits, s + 1, tick + next.min_delay, tick + next.max_delay);
        if (next.min_delay == 0)
            reached[s + 1] = 1;
    }
    std::erase_if(a.waits, [tick](const window& w) { return w.to <= tick; });
    return a.waits.empty() ? outcome::FAIL : outcome::PENDING;
}

// Attempts in flight report each result they reach. An attempt decided on
// the tick it starts reports only a result other than the one shown last, so
// a property that keeps failing (or passing) shows one event until it
// changes.
void prop_t::evaluate(time_t now) {
    if (steps.empty())
        return;
    // A tick at which a procedure's assertion was not reached starts no
    // attempt, as a false antecedent starts none.
    const bool requested = std::exchange(_requested, false);
    const uint64_t tick = _ticks++;
    _holds.assign(steps.size(), -1);
    const implication_t entry = _state;

    // An attempt in flight while the design is disabled neither passes nor
    // fails, and none starts.
    const bool off = disabled();
    if (off)
        _attempts.clear();
    bool passed = false;
    bool failed = false;
    std::erase_if(_attempts, [&](attempt& a) {
        const outcome o = advance(a, tick);
        passed = passed || o == outcome::PASS;
        failed = failed || o == outcome::FAIL;
        return o != outcome::PENDING;
    });

    bool started = false;
    outcome fresh = outcome::PENDING;
    if (!off && (!procedural || requested) &&
        (antecedent_exp == 0 || call_exp(antecedent_exp))) {
        started = true;
        // Most attempts are decided at once: their storage is kept for the next.
        _fresh.waits.assign(1, {0, tick + steps[0].min_delay, tick + steps[0].max_delay});
        fresh = advance(_fresh, tick);
        if (fresh == outcome::PENDING)
            _attempts.push_back(std::move(_fresh));
    }

    const bool decided = started && fresh != outcome::PENDING;
    if (decided)
        _state = fresh == outcome::PASS ? implication_t::TRUE : implication_t::FAIL;
    else if (started)
        _state = implication_t::PREDICATE_TRUE;
    else if (_attempts.empty())
        _state = implication_t::VACUOUS;
    else if (passed || failed)
        _state = failed ? implication_t::FAIL : implication_t::TRUE;

    if (passed)
        report("PASS", now);
    if (failed)
        report("FAIL", now);
    if (decided) {
        const char* result = state_result(_state);
        if (_shown != result)
            report(result, now);
    } else if (!passed && !failed && _state != entry) {
        report(state_result(_state), now);
    }
}

} // namespace wsim_kernel
