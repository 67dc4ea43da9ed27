// Concurrent properties: implications with pending obligations, and
// multi-step sequences tracked as threads.
#include "kernel.h"

#include <algorithm>

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

} // namespace

prop_t::prop_t(const std::string& label, int line) : _label(label), _line(line) {}

bool prop_t::disabled() const { return disable_iff_exp != 0 && call_exp(disable_iff_exp); }

void prop_t::evaluate_implication(time_t now, time_t l_time, int ant_exp, int con_exp) {
    // An attempt in flight while the design is disabled neither passes nor
    // fails. (No new attempt starts then: the antecedent closure sees to that.)
    if (disabled())
        pending_obligations.clear();
    const bool ant = ant_exp == 0 || call_exp(ant_exp);
    const bool cons = con_exp != 0 && call_exp(con_exp);
    const implication_t entry = _state;
    const int d = sequence_delay;
    const auto cycles = static_cast<uint64_t>(static_cast<int64_t>(d));

    // A delay counts clock cycles. An obligation falls due just after d - 1
    // periods: the d-th edge of a steady clock judges it, and for d = 1 the
    // next edge does whatever the period. Until a period has been measured,
    // d time units stand in for it; such an obligation is placed again once
    // the period is known.
    const time_t p = clock_period_ns;
    auto due_after = [cycles, p](uint64_t from) {
        return p == 0 ? from + cycles : from + (cycles - 1) * p + 1;
    };
    if (p != 0)
        for (pending_obligation& o : pending_obligations)
            if (o.due_time == o.antecedent_time + cycles)
                o.due_time = due_after(o.antecedent_time);

    // Obligations that fall due are judged by the consequent now.
    const auto due = std::remove_if(pending_obligations.begin(), pending_obligations.end(),
                                    [now](const pending_obligation& o) { return o.due_time <= now; });
    const bool resolved = due != pending_obligations.end();
    pending_obligations.erase(due, pending_obligations.end());
    if (resolved && !pending_obligations.empty())
        _state = cons ? implication_t::TRUE : implication_t::FAIL;

    auto add_obligation = [&] {
        const uint64_t due_time = due_after(l_time);
        for (const pending_obligation& o : pending_obligations)
            if (!o.resolved && o.due_time == due_time)
                return;
        pending_obligations.push_back({l_time, due_time, false, false});
    };

    if (ant) {
        if (_state == implication_t::VACUOUS) {
            if (d == 0) {
                _state = cons ? implication_t::TRUE : implication_t::FAIL;
            } else {
                add_obligation();
                _state = implication_t::PREDICATE_TRUE;
            }
        } else if (_state == implication_t::PREDICATE_TRUE) {
            if (d > 0)
                add_obligation();
        } else if (d == 0) {
            _state = cons ? implication_t::TRUE : implication_t::FAIL;
        } else if (d > 0) {
            add_obligation();
            _state = implication_t::PREDICATE_TRUE;
        }
    } else if (_state != implication_t::VACUOUS && pending_obligations.empty()) {
        _state = implication_t::VACUOUS;
    }

    if (_state != entry || resolved) {
        const char* result = resolved ? (cons ? "PASS" : "FAIL") : state_result(_state);
        wsim_timeseries::TimeSeriesDB::instance().record_property_result(_label, _line, result,
                                                                         now);
    }
}

void prop_t::evaluate_sequence(time_t now) {
    const time_t p = clock_period_ns;
    if (p == 0)
        return;
    bool passed = false;
    bool failed = false;
    auto step_due = [&](size_t step) {
        return now + static_cast<time_t>(static_cast<int64_t>(sequence_steps[step].delay)) * p;
    };

    if (disabled()) {
        active_threads.clear(); // disabled attempts neither pass nor fail
    } else {
        if (call_exp(sequence_steps[0].condition_exp))
            active_threads.push_back({1, step_due(1), false});
        for (active_thread& t : active_threads) {
            if (t.failed || t.due_time != now)
                continue;
            if (!call_exp(sequence_steps[t.next_step].condition_exp)) {
                t.failed = true;
                failed = true;
            } else if (t.next_step + 1 == sequence_steps.size()) {
                passed = true;
            } else {
                ++t.next_step;
                t.due_time = step_due(t.next_step);
            }
        }
    }
    std::erase_if(active_threads,
                  [now](const active_thread& t) { return t.failed || t.due_time < now; });

    if (passed || failed)
        wsim_timeseries::TimeSeriesDB::instance().record_property_result(
            _label, _line, failed ? "FAIL" : "PASS", now);
}

} // namespace wsim_kernel
