// The simulation state: stores, closure tables, run control, snapshots.
#include "kernel.h"

#include <algorithm>

namespace wsim_kernel {

assignment_t no_op(assign_t::NOP, 0, 0, 0, 0, 0, 0, 0, 0, 0, operand_t::BIT, operand_t::BIT);
bool g_nba_draining = false;

time_t scale_delay(int d) {
    if (d == 0)
        return 0;
    const timescale_t& ts = sim_state::instance().timescale();
    if (!ts.was_set || ts.time_prec_ps == 0)
        return static_cast<time_t>(static_cast<int64_t>(d));
    const auto wide = static_cast<uint64_t>(static_cast<int64_t>(d));
    return ts.time_unit_ps * wide / ts.time_prec_ps;
}

time_t time_in_units(time_t t) {
    const timescale_t& ts = sim_state::instance().timescale();
    if (!ts.was_set || ts.time_prec_ps == 0 || ts.time_unit_ps <= ts.time_prec_ps)
        return t;
    const uint64_t ratio = ts.time_unit_ps / ts.time_prec_ps;
    const uint64_t rest = t % ratio;
    return t / ratio + (2 * rest >= ratio ? 1 : 0);
}

const char* stop_reason_text(stop_reason_t reason) {
    switch (reason) {
    case stop_reason_t::FINISH: return "finish";
    case stop_reason_t::TIME_LIMIT: return "time limit";
    case stop_reason_t::CYCLE_LIMIT: return "cycle limit";
    case stop_reason_t::DELTA_LIMIT: return "delta limit";
    case stop_reason_t::QUEUE_OVERRUN: return "queue overrun";
    case stop_reason_t::QUEUES_DRAINED: return "queues drained";
    case stop_reason_t::NONE: break;
    }
    return "none";
}

sim_state::sim_state() { add_sentinels(); }

sim_state& sim_state::instance() {
    static sim_state state;
    return state;
}

void sim_state::add_sentinels() {
    _bits.emplace_back(false, false, "", 0);
    _bytes.emplace_back(uint8_t{0}, false, "", 0);
    _longs.emplace_back(uint64_t{0}, false, "", 0);
    _floats.emplace_back(0.0f, false, "", 0);
    _sfs.emplace_back(std::string(), false, "", 0);
    _ops.emplace_back([](const bit&) { return false; });
    _exps.emplace_back([] { return true; });
    _trigs.emplace_back([] { return std::pair<bool, time_t>(true, 0); });
    _trig_acks.emplace_back([] {});
    _props.emplace_back("__sentinel__", 0);
}

template <typename V, typename E>
static int append(V& table, E&& element) {
    table.push_back(std::forward<E>(element));
    return static_cast<int>(table.size()) - 1;
}

int sim_state::add_bit(bit b) { return append(_bits, std::move(b)); }
int sim_state::add_byte(byte_t b) { return append(_bytes, std::move(b)); }
int sim_state::add_long(long_t l) { return append(_longs, std::move(l)); }
int sim_state::add_sf(sf s) { return append(_sfs, std::move(s)); }
int sim_state::add_op(op o) { return append(_ops, std::move(o)); }
int sim_state::add_exp(exp_t e) { return append(_exps, std::move(e)); }
int sim_state::add_trig(trig_t t) { return append(_trigs, std::move(t)); }
int sim_state::add_trig_ack(trig_ack_t a) { return append(_trig_acks, std::move(a)); }
int sim_state::add_prop(const prop_t& p) { return append(_props, p); }
int sim_state::add_stable_entry(stable_entry e) { return append(_stable_entries, e); }
int sim_state::add_seq(sequence s) { return append(_seqs, std::move(s)); }
void sim_state::add_process(process_t p) { _processes.push_back(std::move(p)); }

void sim_state::reset_all_edge_flags() {
    for (size_t i = 1; i < _bits.size(); ++i)
        _bits[i].reset_edge_flags();
}

uint64_t sim_state::read_signal_val(int pos, operand_t type) {
    switch (type) {
    case operand_t::BYTE: return access_bytes(pos).state();
    case operand_t::LONG: return access_longs(pos).state();
    case operand_t::BIT: return access_bits(pos).state() ? 1 : 0;
    case operand_t::FLOAT:
    case operand_t::SF: break;
    }
    return 0;
}

uint64_t sim_state::read_signal_val_snap(int pos, operand_t type) {
    if (_pre_nba_active) {
        switch (type) {
        case operand_t::BYTE: {
            auto it = _pre_nba_bytes.find(pos);
            if (it != _pre_nba_bytes.end())
                return it->second;
            break;
        }
        case operand_t::LONG: {
            auto it = _pre_nba_longs.find(pos);
            if (it != _pre_nba_longs.end())
                return it->second;
            break;
        }
        case operand_t::BIT: {
            auto it = _pre_nba_bits.find(pos);
            if (it != _pre_nba_bits.end())
                return it->second ? 1 : 0;
            break;
        }
        case operand_t::FLOAT:
        case operand_t::SF: break;
        }
    }
    return read_signal_val(pos, type);
}

time_t sim_state::signal_time(int pos, operand_t type) {
    switch (type) {
    case operand_t::BYTE: return access_bytes(pos).time();
    case operand_t::LONG: return access_longs(pos).time();
    case operand_t::BIT: return access_bits(pos).time();
    case operand_t::FLOAT:
        assert(in_range(pos, _floats));
        return _floats[static_cast<size_t>(pos)].time();
    case operand_t::SF: break;
    }
    return 0;
}

void sim_state::snapshot_pre_nba() {
    _pre_nba_bits.clear();
    _pre_nba_bytes.clear();
    _pre_nba_longs.clear();
    for (size_t i = 1; i < _bits.size(); ++i)
        _pre_nba_bits[static_cast<int>(i)] = _bits[i].state();
    for (size_t i = 1; i < _bytes.size(); ++i)
        _pre_nba_bytes[static_cast<int>(i)] = _bytes[i].state();
    for (size_t i = 1; i < _longs.size(); ++i)
        _pre_nba_longs[static_cast<int>(i)] = _longs[i].state();
    _pre_nba_active = true;
}

template <typename M>
static auto lookup_or_zero(const M& map, int i) {
    auto it = map.find(i);
    return it == map.end() ? typename M::mapped_type{} : it->second;
}

bool sim_state::pre_nba_bit(int i) const { return lookup_or_zero(_pre_nba_bits, i); }
uint8_t sim_state::pre_nba_byte(int i) const { return lookup_or_zero(_pre_nba_bytes, i); }
uint64_t sim_state::pre_nba_long(int i) const { return lookup_or_zero(_pre_nba_longs, i); }

void sim_state::update_stable(int i) {
    stable_entry& e = stable_entries(i);
    e.prev_value = sampled_signal_val(e.sig_pos, e.sig_type);
    e.initialized = true;
}

void sim_state::update_stable_deps(const prop_t& p) {
    for (int dep : p.stable_deps())
        update_stable(dep);
}

bool sim_state::check_stable_strict(int i) {
    const stable_entry& e = stable_entries(i);
    if (!e.initialized)
        return true;
    switch (e.sig_type) {
    case operand_t::BYTE: return !access_bytes(e.sig_pos).glitched();
    case operand_t::LONG: return !access_longs(e.sig_pos).glitched();
    default: return !access_bits(e.sig_pos).glitched();
    }
}

void sim_state::reset_all_stable_glitches() {
    for (const stable_entry& e : _stable_entries) {
        switch (e.sig_type) {
        case operand_t::BYTE: access_bytes(e.sig_pos).reset_glitch(); break;
        case operand_t::LONG: access_longs(e.sig_pos).reset_glitch(); break;
        default: access_bits(e.sig_pos).reset_glitch(); break;
        }
    }
}

template <typename Cell, typename V>
static void copy_states(const std::vector<Cell>& cells, std::vector<V>& out) {
    out.resize(cells.size());
    for (size_t i = 1; i < cells.size(); ++i)
        out[i] = cells[i].state();
}

void sim_state::take_sampled_values(time_t step_time) {
    copy_states(_bits, _sampled_bits);
    copy_states(_bytes, _sampled_bytes);
    copy_states(_longs, _sampled_longs);
    _sampled_kept = true;
    _sampled_time = step_time;
}

void sim_state::sample_time_step(time_t step_time) {
    if (!has_properties() || (_sampled_kept && step_time == _sampled_time))
        return;
    take_sampled_values(step_time);
}

uint64_t sim_state::sampled_signal_val(int pos, operand_t type) {
    const auto at = static_cast<size_t>(pos);
    switch (type) {
    case operand_t::BYTE:
        if (at < _sampled_bytes.size())
            return _sampled_bytes[at];
        break;
    case operand_t::LONG:
        if (at < _sampled_longs.size())
            return _sampled_longs[at];
        break;
    case operand_t::BIT:
        if (at < _sampled_bits.size())
            return _sampled_bits[at] ? 1 : 0;
        break;
    case operand_t::FLOAT:
    case operand_t::SF: break;
    }
    return read_signal_val(pos, type);
}

// Notes every cell whose current value differs from its sampled one.
template <typename Cell, typename V, typename Out>
static void note_differences(const std::vector<Cell>& cells, const std::vector<V>& sampled,
                             operand_t type, Out& out) {
    const size_t n = std::min(cells.size(), sampled.size());
    for (size_t i = 1; i < n; ++i) {
        const V past = sampled[i];
        if (cells[i].state() != past)
            out.push_back({type, static_cast<int>(i), static_cast<uint64_t>(past)});
    }
}

void sim_state::exchange_shown_values() {
    for (shown_value& v : _shown_values) {
        switch (v.type) {
        case operand_t::BIT: v.value = access_bits(v.pos).exchange_state(v.value != 0); break;
        case operand_t::BYTE:
            v.value = access_bytes(v.pos).exchange_state(static_cast<uint8_t>(v.value));
            break;
        case operand_t::LONG: v.value = access_longs(v.pos).exchange_state(v.value); break;
        case operand_t::FLOAT:
        case operand_t::SF: break;
        }
    }
}

void sim_state::show_sampled_values() {
    if (_showing_sampled || !_sampled_kept)
        return;
    // Only the cells that differ are swapped, so showing the current values
    // again for a moment costs what changed in this time step.
    _shown_values.clear();
    note_differences(_bits, _sampled_bits, operand_t::BIT, _shown_values);
    note_differences(_bytes, _sampled_bytes, operand_t::BYTE, _shown_values);
    note_differences(_longs, _sampled_longs, operand_t::LONG, _shown_values);
    exchange_shown_values();
    _showing_sampled = true;
}

void sim_state::show_current_values() {
    if (!_showing_sampled)
        return;
    exchange_shown_values();
    _shown_values.clear();
    _showing_sampled = false;
}

bool sim_state::evaluate_on_current_values(int e) {
    if (!_showing_sampled)
        return exps(e)();
    // Shows the sampled values again however the closure leaves.
    struct reshow {
        sim_state& s;
        ~reshow() {
            s.exchange_shown_values();
            s._showing_sampled = true;
        }
    };
    exchange_shown_values();
    _showing_sampled = false;
    reshow guard{*this};
    return exps(e)();
}

void sim_state::register_monitor(int exp_idx, const std::vector<int>& positions,
                                 const std::vector<operand_t>& types) {
    _registered_monitors.push_back(MonitorWatcher{exp_idx, positions, types, false});
}

void sim_state::start_monitor(int exp_idx) {
    for (const MonitorWatcher& w : _registered_monitors) {
        if (w.exp_idx == exp_idx) {
            _monitor = w;
            _monitor.active = true;
            _monitor_dirty = true;
            return;
        }
    }
}

bool sim_state::monitor_watches(int pos, operand_t type) const {
    for (size_t i = 0; i < _monitor.positions.size(); ++i) {
        const operand_t watched =
            i < _monitor.types.size() ? _monitor.types[i] : operand_t::BIT;
        if (_monitor.positions[i] == pos && watched == type)
            return true;
    }
    return false;
}

void sim_state::fire_monitor() {
    if (_monitor.active && _monitor.exp_idx != 0)
        exps(_monitor.exp_idx)();
}

void sim_state::halt_simulation() {
    _halt_simulation = true;
    _resume_simulation = false;
}

void sim_state::resume_simulation() {
    if (!_halt_simulation)
        return;
    _resume_simulation = true;
    _halt_simulation = false;
}

std::pair<int, int> sim_state::get_line_context(int line) const {
    if (line >= 0 && static_cast<size_t>(line) < _line_ctx_map.size())
        return _line_ctx_map[static_cast<size_t>(line)];
    return {-1, -1};
}

void sim_state::clear() {
    _bits.clear();
    _bytes.clear();
    _longs.clear();
    _floats.clear();
    _sfs.clear();
    _ops.clear();
    _exps.clear();
    _trigs.clear();
    _trig_acks.clear();
    _interleaved.clear();
    _processes.clear();
    _props.clear();
    _seqs.clear();
    _stable_entries.clear();
    _shown_values.clear();
    _showing_sampled = false;
    _sampled_bits.clear();
    _sampled_bytes.clear();
    _sampled_longs.clear();
    _sampled_kept = false;
    _sampled_time = 0;
    for (auto& q : _queues)
        q.clear();
    _monitor = MonitorWatcher{};
    _registered_monitors.clear();
    _monitor_dirty = false;
    _current_simulation_time = 0;
    add_sentinels();
    sim_config.infinite_loop_abort = false;
    _delta_time = 0;
    _delta_count = 0;
    _halt_simulation = false;
    _resume_simulation = false;
    // A finished run must not keep the next model from being resumed.
    _simulation_finished = false;
    _stop_reason = stop_reason_t::NONE;
}

} // namespace wsim_kernel
