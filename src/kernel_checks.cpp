// Unique and priority checks. As IEEE 1800 asks, a violation is reported
// once the time step has settled: a process that runs again in the same step
// takes back what it reported before, so a glitch reports nothing.
#include "kernel.h"

#include <string>

namespace wsim_kernel {

void sim_state::judge_case(const case_table& t, size_t matched, uint64_t selector) {
    if (_evaluating_constant)
        return;
    const case_check& c = _case_checks[static_cast<size_t>(t.check)];
    const char* violation = nullptr;
    if (matched == t.items.size()) {
        if (c.kind != case_check::kind_t::UNIQUE0 && !c.has_default)
            violation = c.is_if ? "no condition is true" : "no item matches";
    } else if (c.kind != case_check::kind_t::PRIORITY) {
        // Items of the matching arm's own list may overlap it.
        const int arm = t.items[matched].target;
        for (size_t i = matched + 1; i < t.items.size() && !violation; ++i)
            if (t.items[i].target != arm && item_matches(t.items[i], selector))
                violation = c.is_if ? "more than one condition is true"
                                    : "more than one item matches";
    }
    if (violation)
        _deferred_reports.push_back(
            {_running_proc, "WARNING: " + c.place + ": " + violation + " (time " +
                                std::to_string(_current_simulation_time) + ", scope " + c.scope +
                                ")"});
}

void sim_state::drop_reports_of(int proc) {
    std::erase_if(_deferred_reports, [proc](const deferred_report& r) { return r.proc == proc; });
}

void sim_state::print_deferred_reports() {
    _running_proc = -1;
    if (_deferred_reports.empty())
        return;
    for (const deferred_report& r : _deferred_reports) {
        print(r.text);
        print("\n");
    }
    _deferred_reports.clear();
    check_console();
}

} // namespace wsim_kernel
