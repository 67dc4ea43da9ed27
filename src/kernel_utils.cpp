#include "kernel_utils.h"

#include <algorithm>
#include <optional>

namespace wsim_kernel {

namespace {

sim_state& state() { return sim_state::instance(); }

int idx(unsigned i) { return static_cast<int>(i); }

uint64_t value_of(unsigned pos, operand_t type) { return state().read_signal_val(idx(pos), type); }

// Changed mark and time stamp of a signal in its own store.
std::pair<bool, time_t> change_of(unsigned pos, operand_t type) {
    sim_state& s = state();
    switch (type) {
    case operand_t::BYTE: return {s.access_bytes(idx(pos)).changed(), s.access_bytes(idx(pos)).time()};
    case operand_t::LONG: return {s.access_longs(idx(pos)).changed(), s.access_longs(idx(pos)).time()};
    case operand_t::BIT: return {s.access_bits(idx(pos)).changed(), s.access_bits(idx(pos)).time()};
    case operand_t::FLOAT:
    case operand_t::SF: break;
    }
    return {false, 0};
}

template <typename Cell>
void consume_slot(Cell& cell, unsigned s) {
    cell.trigger_consumed(s);
    if (cell.is_trigger_consumed())
        cell.reset_changed();
}

} // namespace

exp_t make_state(unsigned b) {
    return [b] { return state().access_bits(idx(b)).state(); };
}

exp_t make_not_state(unsigned b) {
    return [b] { return !state().access_bits(idx(b)).state(); };
}

exp_t make_eq_state(unsigned b1, unsigned b2) {
    return [b1, b2] {
        return state().access_bits(idx(b1)).state() == state().access_bits(idx(b2)).state();
    };
}

exp_t make_not_eq_state(unsigned b1, unsigned b2) {
    return [b1, b2] {
        return state().access_bits(idx(b1)).state() != state().access_bits(idx(b2)).state();
    };
}

exp_t make_state(unsigned pos, operand_t type) {
    return [pos, type] { return value_of(pos, type) != 0; };
}

exp_t make_not_state(unsigned pos, operand_t type) {
    return [pos, type] { return value_of(pos, type) == 0; };
}

exp_t make_eq_state(unsigned pos1, operand_t type1, unsigned pos2, operand_t type2) {
    return [=] { return value_of(pos1, type1) == value_of(pos2, type2); };
}

exp_t make_not_eq_state(unsigned pos1, operand_t type1, unsigned pos2, operand_t type2) {
    return [=] { return value_of(pos1, type1) != value_of(pos2, type2); };
}

exp_t make_bool_or(unsigned e1, unsigned e2) {
    return [e1, e2] {
        const bool a = state().exps(idx(e1))();
        const bool b = state().exps(idx(e2))();
        return a || b;
    };
}

exp_t make_bool_and(unsigned e1, unsigned e2) {
    return [e1, e2] {
        const bool a = state().exps(idx(e1))();
        const bool b = state().exps(idx(e2))();
        return a && b;
    };
}

exp_t make_call_all(unsigned e1, unsigned e2) {
    return [e1, e2] {
        state().exps(idx(e1))();
        state().exps(idx(e2))();
        return true;
    };
}

trig_t make_posedge_trig_exp(unsigned b) {
    return [b] {
        const bit& cell = state().access_bits(idx(b));
        return std::pair<bool, time_t>(cell.changed() && cell.state(), cell.time());
    };
}

trig_t make_negedge_trig_exp(unsigned b) {
    return [b] {
        const bit& cell = state().access_bits(idx(b));
        return std::pair<bool, time_t>(cell.changed() && !cell.state(), cell.time());
    };
}

trig_t make_anyedge_trig_exp(unsigned b) {
    return [b] {
        const bit& cell = state().access_bits(idx(b));
        return std::pair<bool, time_t>(cell.changed(), cell.time());
    };
}

trig_t make_posedge_trig_exp(unsigned pos, operand_t type) {
    return [pos, type] {
        const auto [changed, t] = change_of(pos, type);
        return std::pair<bool, time_t>(changed && (value_of(pos, type) & 1) != 0, t);
    };
}

trig_t make_negedge_trig_exp(unsigned pos, operand_t type) {
    return [pos, type] {
        const auto [changed, t] = change_of(pos, type);
        return std::pair<bool, time_t>(changed && (value_of(pos, type) & 1) == 0, t);
    };
}

trig_t make_anyedge_trig_exp(unsigned pos, operand_t type) {
    return [pos, type] { return change_of(pos, type); };
}

trig_t make_trig_or(unsigned t1, unsigned t2) {
    return [t1, t2] {
        const auto a = state().trigs(idx(t1))();
        const auto b = state().trigs(idx(t2))();
        if (a.first)
            return a;
        if (b.first)
            return b;
        return std::pair<bool, time_t>(false, std::max(a.second, b.second));
    };
}

trig_t make_trig_and(unsigned t1, unsigned t2) {
    return [t1, t2] {
        const auto a = state().trigs(idx(t1))();
        const auto b = state().trigs(idx(t2))();
        if (a.first && b.first)
            return std::pair<bool, time_t>(true, std::max(a.second, b.second));
        return a.first ? b : a;
    };
}

trig_ack_t make_trig_ack(unsigned b, unsigned s) {
    return [b, s] { consume_slot(state().access_bits(idx(b)), s); };
}

trig_ack_t make_trig_ack(unsigned pos, operand_t type, unsigned s) {
    return [pos, type, s] {
        sim_state& st = state();
        switch (type) {
        case operand_t::BYTE: consume_slot(st.access_bytes(idx(pos)), s); break;
        case operand_t::LONG: consume_slot(st.access_longs(idx(pos)), s); break;
        case operand_t::BIT: consume_slot(st.access_bits(idx(pos)), s); break;
        case operand_t::FLOAT:
        case operand_t::SF: break;
        }
    };
}

trig_ack_t make_call_all_trig_ack(unsigned a1, unsigned a2) {
    return [a1, a2] {
        state().trig_acks(idx(a1))();
        state().trig_acks(idx(a2))();
    };
}

exp_t make_seq_eval(unsigned q) {
    return [q] {
        sequence& seq = state().seqs(idx(q));
        if (seq.is_true())
            return true;
        if (!state().exps(seq.next_sequent())())
            return true;
        seq.update_sequent();
        return seq.is_true();
    };
}

// (value at the previous tick, value now) of a stable entry's signal, or
// nothing before the entry was first sampled.
static std::optional<std::pair<uint64_t, uint64_t>> past_and_now(unsigned e) {
    const stable_entry& entry = state().stable_entries(idx(e));
    if (!entry.initialized)
        return std::nullopt;
    return std::pair{entry.prev_value, state().sampled_signal_val(entry.sig_pos, entry.sig_type)};
}

exp_t make_sampled_rose(unsigned e) {
    return [e] {
        const auto v = past_and_now(e);
        return v && (v->first & 1) == 0 && (v->second & 1) != 0;
    };
}

exp_t make_sampled_fell(unsigned e) {
    return [e] {
        const auto v = past_and_now(e);
        return v && (v->first & 1) != 0 && (v->second & 1) == 0;
    };
}

exp_t make_sampled_stable(unsigned e) {
    return [e] {
        const auto v = past_and_now(e);
        return !v || v->first == v->second;
    };
}

exp_t make_sampled_changed(unsigned e) {
    return [e] {
        const auto v = past_and_now(e);
        return v && v->first != v->second;
    };
}

exp_t make_current_value_exp(unsigned e) {
    return [e] { return state().evaluate_on_current_values(idx(e)); };
}

const exp_t false_always = [] { return false; };
const exp_t true_always = [] { return true; };
const op bit_val = [](const bit& b) { return b.state(); };
const op not_bit_val = [](const bit& b) { return !b.state(); };

} // namespace wsim_kernel
