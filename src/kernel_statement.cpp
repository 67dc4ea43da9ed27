// Statements and processes: construction, copying, static times, and the move
// of a due statement into its region queue.
#include "kernel.h"

namespace wsim_kernel {

assignment_t::assignment_t(assign_t a, time_t t, int lhs, int rhs, int exp, int l_no, int tr,
                           int tr_ack, int c, int p_l_no, operand_t lhs_type, operand_t rhs_type)
    : _assn_type(a), _line_no(l_no), _delay(t), _lhs(lhs), _rhs(rhs), _expression(exp),
      _trigger(tr), _trigger_ack(tr_ack), _condition(c), _process_line_no(p_l_no),
      _lhs_type(lhs_type), _rhs_type(rhs_type) {}

assignment_t::assignment_t(const assignment_t& other) {
    *this = other;
    _instance_id.clear();
}

void assignment_t::set_static_time(time_t t) {
    _static_raw_time = t;
    _sim_time = t;
    _delay = 0;
    _static_scheduled = true;
}

void assignment_t::rescale_static_time() {
    if (_static_scheduled)
        _sim_time = scale_delay(static_cast<int>(_static_raw_time));
}

void assignment_t::snapshot_condition() {
    if (_condition == 0)
        return;
    _cond_snapshot = sim_state::instance().exps(_condition)();
    _cond_was_snapshotted = true;
}

bool assignment_t::is_finish(sim_state* state) const {
    return _assn_type == assign_t::SF && state->sfs(_lhs).state() == "$finish";
}

bool assignment_t::names_signal_cells() const {
    switch (_assn_type) {
    case assign_t::CA:
    case assign_t::BA:
    case assign_t::NBA:
    case assign_t::COMBO: return true;
    default: return false;
    }
}

time_t assignment_t::scaled_delay() const { return scale_delay(static_cast<int>(_delay)); }

void assignment_t::commit() {
    sim_state& s = sim_state::instance();
    switch (_assn_type) {
    case assign_t::CA:
    case assign_t::COMBO: s.access_queue(active).push_back(this); break;
    case assign_t::BA:
    case assign_t::MONITOR_REG: s.access_queue(inactive).push_back(this); break;
    case assign_t::NBA:
        if (g_nba_draining) {
            // An NBA scheduled while the region drains waits for the next pass.
            _sim_time = s.sim_time();
            in_future();
            s.access_queue(future).push_back(this);
        } else {
            s.access_queue(nba).push_back(this);
        }
        break;
    case assign_t::SF:
        // A $display or $write placed in time or woken by an event runs in
        // process order with the writes around it, before the time step's
        // non-blocking updates land, as the process that holds it would.
        if (!is_finish(&s) && (_static_scheduled || _trigger != 0))
            s.access_queue(inactive).push_back(this);
        else
            s.access_queue(monitor).push_back(this);
        break;
    case assign_t::PROP: s.access_queue(observed).push_back(this); break;
    case assign_t::NOP:
    case assign_t::HALT: break;
    }
}

process_t::process_t(int line, std::string name, proc_t type)
    : _line_no(line), _name(std::move(name)), _p_type(type) {}

void process_t::add_statement(assignment_t a) {
    if (_p_type == proc_t::INITIAL)
        a.set_initial();
    a.set_process_name(_name);
    _statements.push_back(a);
}

} // namespace wsim_kernel
