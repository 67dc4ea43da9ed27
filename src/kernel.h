// The simulation kernel: typed signal stores, statements and processes,
// properties, and the single simulation state with its region scheduler.
#pragma once

#include "timeseries.h"

#include <array>
#include <cassert>
#include <cstdint>
#include <deque>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace wsim_kernel {

using time_t = uint64_t;

// _last_evaluated_time of a statement that never ran.
inline constexpr time_t never_evaluated = ~time_t{0};

// The store a signal position refers to.
enum class operand_t : int { BIT = 0, BYTE = 1, LONG = 2, FLOAT = 3, SF = 4 };

// One signal or constant: its value and the bookkeeping the scheduler and the
// trigger closures read. Cells are plain values; everyone holds positions.
template <typename T>
class value_t {
public:
    using _type = T;

    value_t(T state, bool changed, std::string name, int /*line*/)
        : _state(std::move(state)), _changed(changed), _name(std::move(name)) {}

    T state() const { return _state; }
    bool changed() const { return _changed; }
    void set_changed() { _changed = true; }
    void reset_changed() { _changed = false; }
    time_t time() const { return _time; }
    void next_update(time_t t) { _next_update = t; }
    time_t next_update() const { return _next_update; }
    std::string name() const { return _name; }
    bool glitched() const { return _glitched; }
    void reset_glitch() { _glitched = false; }
    bool posedge_occurred() const { return _posedge_occurred; }
    bool negedge_occurred() const { return _negedge_occurred; }
    void mark_posedge() { _posedge_occurred = true; }
    void mark_negedge() { _negedge_occurred = true; }
    void reset_edge_flags() {
        _posedge_occurred = false;
        _negedge_occurred = false;
    }

    // The design's only write path. Edge flags are never cleared here: a
    // rise and a fall in one time step both stay marked until
    // reset_edge_flags().
    void update(T v, time_t t) {
        if (v != _state) {
            const bool was_zero = _state == T{};
            const bool is_zero = v == T{};
            if (was_zero && !is_zero)
                _posedge_occurred = true;
            if (!was_zero && is_zero)
                _negedge_occurred = true;
            _changed = true;
            _glitched = true;
        } else {
            _changed = false;
        }
        _time = t;
        _state = std::move(v);
    }

    // Swaps the value alone: no mark or time stamp moves. Only the kernel's
    // sampled-value view uses it, to show and then restore a value.
    T exchange_state(T v) { return std::exchange(_state, std::move(v)); }

    // One consumption slot per trigger waiting on this signal.
    unsigned add_triggered() {
        _triggered.push_back(false);
        return static_cast<unsigned>(_triggered.size() - 1);
    }
    void trigger_consumed(unsigned slot) {
        if (!_triggered.empty()) {
            assert(slot < _triggered.size());
            if (slot < _triggered.size() && !_triggered[slot]) {
                _triggered[slot] = true;
                ++_consumed_slots;
            }
        }
    }
    void reset_triggered() {
        _triggered.assign(_triggered.size(), false);
        _consumed_slots = 0;
    }
    bool is_trigger_consumed() const {
        if (_time == 0 && _next_update == 0)
            return true;
        return all_slots_consumed();
    }
    // The argument only tells "no trigger" (0) apart; it never selects a slot.
    bool is_trigger_consumed(int trigger) const {
        if (trigger == 0 || _triggered.empty())
            return true;
        return is_trigger_consumed();
    }

private:
    // Counted rather than scanned: a clock watched by N triggers is
    // acknowledged N times per edge.
    bool all_slots_consumed() const { return _consumed_slots == _triggered.size(); }

    T _state;
    bool _changed = false;
    time_t _time = 0;
    time_t _next_update = 0;
    std::string _name;
    int _line_no = 0;
    std::vector<bool> _triggered;
    bool _glitched = false;
    bool _posedge_occurred = false;
    bool _negedge_occurred = false;
    size_t _consumed_slots = 0;
};

using bit = value_t<bool>;
using byte_t = value_t<uint8_t>;
using long_t = value_t<uint64_t>;
using float_t = value_t<float>;
using sf = value_t<std::string>;

// Closures of the model, stored in sim_state and referred to by index.
using op = std::function<bool(const bit&)>;
using exp_t = std::function<bool()>;
using trig_t = std::function<std::pair<bool, time_t>()>;
using trig_ack_t = std::function<void()>;

// A delay or static time in source units, in the simulation's time base.
time_t scale_delay(int d);
// A simulation time in the design's time unit, rounded to the nearest unit:
// what $time answers.
time_t time_in_units(time_t t);

enum class assign_t : int {
    CA = 0,
    BA = 1,
    NBA = 2,
    SF = 3,
    MONITOR_REG = 4,
    PROP = 5,
    COMBO = 6,
    NOP = 7,
    HALT = 8
};

enum class proc_t : int { ALWAYS = 0, INITIAL = 1, ASSIGN = 2, ASSERT = 3, COMBO = 4 };

class sim_state;

// One schedulable statement. All of its scheduling state lives here.
class assignment_t {
public:
    assignment_t(assign_t a, time_t t, int lhs, int rhs, int exp, int l_no, int tr, int tr_ack,
                 int c, int p_l_no, operand_t lhs_type, operand_t rhs_type);
    // A copy starts without an instance id.
    assignment_t(const assignment_t& other);
    assignment_t& operator=(const assignment_t&) = default;

    assign_t type() const { return _assn_type; }
    time_t time() const { return _sim_time; }
    int line() const { return _line_no; }
    int process() const { return _process_line_no; }
    int lhs_index() const { return _lhs; }
    int rhs_index() const { return _rhs; }
    int expression_index() const { return _expression; }
    int trigger_index() const { return _trigger; }
    int trigger_ack_index() const { return _trigger_ack; }
    int condition_index() const { return _condition; }
    operand_t lhs_type() const { return _lhs_type; }
    operand_t rhs_type() const { return _rhs_type; }
    time_t delay() const { return _delay; }
    const std::string& instance_id() const { return _instance_id; }
    void set_instance_id(const std::string& s) { _instance_id = s; }
    const std::string& process_name() const { return _process_name; }
    void set_process_name(const std::string& s) { _process_name = s; }
    void set_trigger(int tr, int tr_ack) {
        _trigger = tr;
        _trigger_ack = tr_ack;
    }
    void set_exp_writes_lhs(bool b) { _exp_writes_lhs = b; }
    void set_always_loop(bool b) { _is_always_loop = b; }
    bool is_always_loop() const { return _is_always_loop; }
    void set_initial() { _is_initial = true; }
    void clear_initial() { _is_initial = false; }
    bool is_initial() const { return _is_initial; }
    void set_last_fired(time_t t) { _last_fired_time = t; }
    time_t last_fired() const { return _last_fired_time; }
    void set_ever_fired(bool b) { _ever_fired = b; }
    bool ever_fired() const { return _ever_fired; }
    void set_oscillating(bool b) { _lhs_oscillating = b; }
    bool is_oscillating() const { return _lhs_oscillating; }
    void reset_sim_time() { _sim_time = 0; }
    void in_future() { _is_in_future = true; }
    void out_of_future() { _is_in_future = false; }
    bool is_in_future() const { return _is_in_future; }
    void to_be_recommitted(bool b) { _to_be_recommitted = b; }
    bool is_recommitted() const { return _to_be_recommitted; }
    bool is_static_scheduled() const { return _static_scheduled; }
    void set_trig_snapshot(bool fired, time_t t) {
        _trig_snapshot_fired = fired;
        _trig_snapshot_time = t;
    }
    std::pair<bool, time_t> trig_snapshot() const {
        return {_trig_snapshot_fired, _trig_snapshot_time};
    }
    time_t last_evaluated_time() const { return _last_evaluated_time; }
    time_t last_scheduled_time() const { return _last_scheduled_time; }
    bool condition_snapshot() const { return _cond_snapshot; }

    void set_static_time(time_t t);
    void rescale_static_time();
    void snapshot_condition();
    bool is_finish(sim_state* state) const;

    // Runs the statement once (writes, system functions, property steps).
    void evaluate(bool& continue_run);
    // Moves a due statement into its region queue.
    void commit();
    // Decides whether and when the statement fires next; may append it to
    // the future queue.
    void commit_to_future();

private:
    friend class sim_state;

    // The kinds whose _lhs/_rhs are signal positions.
    bool names_signal_cells() const;
    time_t scaled_delay() const;
    time_t source_time() const;
    void evaluate_write(time_t l_time);
    void write_bit_target(time_t at);
    void write_byte_target(time_t at);
    void write_long_target(time_t at);
    void touch_target(time_t at);
    void record_target_change();
    void evaluate_system_function(bool& continue_run, bool guard_decided);
    void evaluate_property(time_t l_time);
    bool cell_trigger_consumed() const;
    bool ca_is_dirty() const;
    bool always_loop_next_time(time_t& next_t) const;
    void park();

    assign_t _assn_type = assign_t::NOP;
    int _line_no = 0;
    std::string _instance_id;
    time_t _sim_time = 0;
    time_t _delay = 0;
    int _lhs = 0;
    int _rhs = 0;
    int _expression = 0;
    int _trigger = 0;
    int _trigger_ack = 0;
    int _condition = 0;
    int _process_line_no = 0;
    bool _is_initial = false;
    bool _is_in_future = false;
    bool _to_be_recommitted = false;
    time_t _last_scheduled_time = 0;
    time_t _last_fired_time = 0;
    bool _cond_snapshot = true;
    bool _cond_was_snapshotted = false;
    bool _ever_fired = false;
    bool _exp_writes_lhs = false;
    std::string _process_name;
    operand_t _lhs_type = operand_t::BIT;
    operand_t _rhs_type = operand_t::BIT;
    bool _trig_snapshot_fired = false;
    time_t _trig_snapshot_time = 0;
    time_t _last_evaluated_time = never_evaluated;
    time_t _static_raw_time = 0;
    bool _lhs_oscillating = false;
    bool _is_always_loop = false;
    bool _static_scheduled = false;
    // A triggered write or system task whose guard held when its trigger
    // fired: the statements of one if/case arm share that decision, so an
    // earlier statement of the arm changing the guard cannot skip them.
    bool _guard_held_at_fire = false;
};

// Placeholder statement; never scheduled.
extern assignment_t no_op;
// True while the scheduler drains the NBA region.
extern bool g_nba_draining;

// One process: its statements in order. Statements are only ever appended, so
// pointers to them stay valid once the process is stored in sim_state.
class process_t {
public:
    process_t(int line, std::string name, proc_t type);

    void add_statement(assignment_t a);
    int number_of_statements() const { return static_cast<int>(_statements.size()); }
    assignment_t* ith_statement(int i) { return &_statements[static_cast<size_t>(i)]; }

    int line() const { return _line_no; }
    const std::string& name() const { return _name; }
    proc_t type() const { return _p_type; }
    const std::string& instance_id() const { return _instance_id; }
    void set_instance_id(const std::string& s) { _instance_id = s; }

private:
    std::string _instance_id;
    int _line_no = 0;
    std::string _name;
    std::deque<assignment_t> _statements;
    proc_t _p_type = proc_t::ALWAYS;
};

enum class implication_t : int { VACUOUS = 0, PREDICATE_TRUE = 1, FAIL = 2, TRUE = 3 };

struct prop_step {
    int condition_exp = 0; // expression closure index
    int delay = 0;         // clock periods before this step is tested
};

// One concurrent property: an implication with its obligations, or a
// multi-step sequence with its threads.
class prop_t {
public:
    struct active_thread {
        size_t next_step = 0;
        time_t due_time = 0;
        bool failed = false;
    };
    struct pending_obligation {
        uint64_t antecedent_time = 0;
        uint64_t due_time = 0;
        bool resolved = false;
        bool emitted = false;
    };

    prop_t(const std::string& label, int line);

    bool is_sequence() const { return sequence_steps.size() > 1; }
    implication_t state() const { return _state; }
    void update(implication_t s, time_t) { _state = s; }
    bool is_trigger_consumed(int) const { return _triggered_mask == _consumed_mask; }
    const std::vector<int>& stable_deps() const { return _stable_deps; }
    std::string name() const { return _label; }
    int line() const { return _line; }
    void set_signal_positions(int ant_pos, int con_pos) {
        _ant_pos = ant_pos;
        _con_pos = con_pos;
    }
    void add_stable_dep(int idx) { _stable_deps.push_back(idx); }

    // Whether the disable condition holds now.
    bool disabled() const;
    // One evaluation at `now`, as run by the property's statement.
    void evaluate_implication(time_t now, time_t l_time, int ant_exp, int con_exp);
    void evaluate_sequence(time_t now);

private:
    std::string _label;
    int _line = 0;
    implication_t _state = implication_t::VACUOUS;
    uint32_t _triggered_mask = 0;
    uint32_t _consumed_mask = 0;
    int _ant_pos = 0;
    int _con_pos = 0;

public:
    int sequence_delay = 0;
    int disable_iff_exp = 0;
    std::vector<prop_step> sequence_steps;
    std::vector<active_thread> active_threads;
    std::vector<pending_obligation> pending_obligations;

private:
    std::vector<int> _stable_deps;

public:
    time_t clock_period_ns = 0;

private:
    time_t _last_trigger_time = 0;
};

// A chain of sequents, advanced one at a time by make_seq_eval.
struct sequence {
    std::vector<int> _sequent; // expression closure indices
    int _true_until = -1;

    bool is_true() const { return _true_until == static_cast<int>(_sequent.size()) - 1; }
    int next_sequent() const { return _sequent[static_cast<size_t>(_true_until + 1)]; }
    void update_sequent() { ++_true_until; }
};

// A signal sampled for $stable-style checks.
struct stable_entry {
    int sig_pos = 0;
    operand_t sig_type = operand_t::BIT;
    uint64_t prev_value = 0;
    bool initialized = false;

    stable_entry(int pos, operand_t type) : sig_pos(pos), sig_type(type) {}
};

struct timescale_t {
    uint64_t time_unit_ps = 1000;
    uint64_t time_prec_ps = 1;
    bool was_set = false;
};

// Region queue indices.
inline constexpr int num_of_queues = 6;
inline constexpr int active = 0;
inline constexpr int inactive = 1;
inline constexpr int nba = 2;
inline constexpr int monitor = 3;
inline constexpr int observed = 4;
inline constexpr int future = 5;

// Why the last run stopped.
enum class stop_reason_t : int {
    NONE = 0,       // no run has stopped yet
    FINISH,         // $finish ran
    TIME_LIMIT,     // max_sim_time reached
    CYCLE_LIMIT,    // max_sim_cycle reached (the state is halted)
    DELTA_LIMIT,    // one time value visited more than max_delta_cycles times
    QUEUE_OVERRUN,  // a region held more entries than one drain may take
    QUEUES_DRAINED, // the cycle limit was reached with every queue empty
};
// "finish", "time limit", "cycle limit", "delta limit", "queue overrun",
// "queues drained", or "none".
const char* stop_reason_text(stop_reason_t reason);

using statement_queue = std::deque<assignment_t*>;

class sim_state {
public:
    struct SimConfig {
        uint64_t max_sim_time = 0; // 0: no limit
        int max_sim_cycle = 1000;
        std::string time_unit = "ns";
        uint64_t start_time = 0;
        bool infinite_loop_abort = false;
        int max_delta_cycles = 1000;
    };

    struct MonitorWatcher {
        int exp_idx = 0;
        std::vector<int> positions;
        std::vector<operand_t> types;
        bool active = false;
    };

    static sim_state& instance();
    sim_state(const sim_state&) = delete;
    sim_state& operator=(const sim_state&) = delete;

    // Registration; each answers the new element's index.
    int add_bit(bit b);
    int add_byte(byte_t b);
    int add_long(long_t l);
    int add_sf(sf s);
    int add_op(op o);
    int add_exp(exp_t e);
    int add_trig(trig_t t);
    int add_trig_ack(trig_ack_t a);
    int add_prop(const prop_t& p);
    int add_stable_entry(stable_entry e);
    int add_seq(sequence s);
    void add_process(process_t p);

    bit& access_bits(int i) {
        assert(in_range(i, _bits));
        return _bits[static_cast<size_t>(i)];
    }
    byte_t& access_bytes(int i) {
        assert(in_range(i, _bytes));
        return _bytes[static_cast<size_t>(i)];
    }
    long_t& access_longs(int i) {
        assert(in_range(i, _longs));
        return _longs[static_cast<size_t>(i)];
    }
    sf& sfs(int i) {
        assert(in_range(i, _sfs));
        return _sfs[static_cast<size_t>(i)];
    }
    op& ops(int i) {
        assert(in_range(i, _ops));
        return _ops[static_cast<size_t>(i)];
    }
    exp_t& exps(int i) {
        assert(in_range(i, _exps));
        return _exps[static_cast<size_t>(i)];
    }
    trig_t& trigs(int i) {
        assert(in_range(i, _trigs));
        return _trigs[static_cast<size_t>(i)];
    }
    trig_ack_t& trig_acks(int i) {
        assert(in_range(i, _trig_acks));
        return _trig_acks[static_cast<size_t>(i)];
    }
    prop_t& props(int i) {
        assert(in_range(i, _props));
        return _props[static_cast<size_t>(i)];
    }
    stable_entry& stable_entries(int i) {
        assert(in_range(i, _stable_entries));
        return _stable_entries[static_cast<size_t>(i)];
    }
    sequence& seqs(int i) {
        assert(in_range(i, _seqs));
        return _seqs[static_cast<size_t>(i)];
    }
    std::deque<process_t>& all_processes() { return _processes; }
    std::vector<assignment_t*>& all_interleaved() { return _interleaved; }
    statement_queue& access_queue(int q) {
        assert(q >= 0 && q < num_of_queues);
        return _queues[static_cast<size_t>(q)];
    }
    time_t& sim_time() { return _current_simulation_time; }
    timescale_t& timescale() { return _timescale; }
    int all_bits_size() const { return static_cast<int>(_bits.size()); }
    int all_bytes_size() const { return static_cast<int>(_bytes.size()); }
    int all_longs_size() const { return static_cast<int>(_longs.size()); }
    void reset_all_edge_flags();

    // Value of a signal by its store: BYTE and LONG read their own store,
    // BIT reads the bit store as 0 or 1; FLOAT and SF positions read as 0.
    uint64_t read_signal_val(int pos, operand_t type);
    // The same, but the pre-NBA value while that snapshot is active.
    uint64_t read_signal_val_snap(int pos, operand_t type);
    // Time stamp of the last write of a signal, by its store (0 for SF).
    time_t signal_time(int pos, operand_t type);

    void snapshot_pre_nba();
    void clear_pre_nba_snapshot() { _pre_nba_active = false; }
    bool has_pre_nba_snapshot() const { return _pre_nba_active; }
    bool pre_nba_bit(int i) const;
    uint8_t pre_nba_byte(int i) const;
    uint64_t pre_nba_long(int i) const;

    void update_stable(int i);
    bool check_stable_strict(int i);
    void reset_all_stable_glitches();
    // Records the sampled value of every stable entry of a property as the
    // value at its latest clock tick.
    void update_stable_deps(const prop_t& p);

    // Sampled values: what every signal held when the current time step
    // began. Kept only for models with properties, which judge by them.
    bool has_properties() const { return _props.size() > 1; }
    // Takes the values for the time step at `step_time`, unless that step
    // has them already.
    void sample_time_step(time_t step_time);
    // The sampled value of a signal; its current value when none is kept.
    uint64_t sampled_signal_val(int pos, operand_t type);
    // Puts the sampled values into the stores in place of the current ones
    // until show_current_values(); marks and time stamps stay as they are.
    void show_sampled_values();
    void show_current_values();
    bool showing_sampled_values() const { return _showing_sampled; }
    // Runs closure `e` against the current values, also while the sampled
    // ones are shown.
    bool evaluate_on_current_values(int e);

    // Every $monitor call registers its watcher up front; it watches nothing
    // until its statement runs (start_monitor).
    void register_monitor(int exp_idx, const std::vector<int>& positions,
                          const std::vector<operand_t>& types);
    // Makes the watcher registered for closure `exp_idx` the only active one
    // and has it print at the end of the current time step.
    void start_monitor(int exp_idx);
    bool has_monitor() const { return _monitor.active; }
    const std::vector<int>& monitor_watched_positions() const { return _monitor.positions; }
    // Whether the signal at (pos, type) is one the monitor watches.
    bool monitor_watches(int pos, operand_t type) const;
    void set_monitor_dirty() { _monitor_dirty = true; }
    void clear_monitor_dirty() { _monitor_dirty = false; }
    bool monitor_triggered() const { return _monitor.active && _monitor_dirty; }
    void fire_monitor();

    void halt_simulation();
    void resume_simulation();
    bool simulation_halted() const { return _halt_simulation; }
    bool simulation_to_be_resumed() const { return _resume_simulation; }
    void finish_simulation() { _simulation_finished = true; }
    bool is_simulation_finished() const { return _simulation_finished; }
    stop_reason_t stop_reason() const { return _stop_reason; }

    void set_line_instance_map(const std::map<int, std::vector<std::string>>& map) {
        _line_instance_map = map;
    }
    const std::map<int, std::vector<std::string>>& get_line_instance_map() const {
        return _line_instance_map;
    }
    void set_line_ctx_map(const std::vector<std::pair<int, int>>& table) { _line_ctx_map = table; }
    std::pair<int, int> get_line_context(int line) const;
    void set_console_path(const std::string& path) { _console_path = path; }
    const std::string& console_path() const { return _console_path; }

    // The console stream; opened (truncating) on first use when closed.
    std::ofstream& display_log();
    // Starts a fresh console file with the banner.
    void reset_display_log();
    static void write_banner(std::ostream& out);

    // Queue dump to standard output.
    void print_state();
    void capture_queue_state(wsim_timeseries::QueueState& qs);

    // Runs the model (or continues a halted run after resume_simulation()).
    void run();
    void clear();

    SimConfig sim_config;

private:
    sim_state();

    template <typename V>
    static bool in_range(int i, const V& v) {
        return i >= 0 && static_cast<size_t>(i) < v.size();
    }

    struct run_context;
    void add_sentinels();
    void record_step(run_context& rc, int line);
    bool drain_queue(run_context& rc, int q, int limit);
    void interleave_processes();
    void prepare_design_and_pre_simulate(run_context& rc);
    void main_loop(run_context& rc);
    bool run_one_cycle(run_context& rc);
    bool transfer_due_future(run_context& rc);
    void drain_nba_region(run_context& rc);
    void run_monitor_region(run_context& rc);
    void run_observed_region(run_context& rc);
    void rearm_statements();
    void queue_idle_statements(assign_t kind);
    void flush_ca_assignments(bool& continue_run, wsim_timeseries::QueueState& qs,
                              time_t record_time);
    void force_evaluate_combo(bool& continue_run, wsim_timeseries::QueueState& qs,
                              time_t record_time);
    void reset_all_changed_flags();
    void mark_nba_lhs_changed();
    bool target_changed(const assignment_t& a);
    int64_t target_value(const assignment_t& a);
    std::string target_name(const assignment_t& a);
    template <typename F>
    void for_each_statement(F&& f);
    void sort_future();
    void stop(run_context& rc, stop_reason_t reason);
    void open_console(bool append);
    void take_sampled_values(time_t step_time);
    void exchange_shown_values();

    std::vector<bit> _bits;
    std::vector<byte_t> _bytes;
    std::vector<long_t> _longs;
    std::vector<float_t> _floats;
    std::vector<op> _ops;
    std::vector<sf> _sfs;
    std::vector<exp_t> _exps;
    std::vector<stable_entry> _stable_entries;
    std::vector<trig_t> _trigs;
    std::vector<trig_ack_t> _trig_acks;
    bool _monitor_dirty = false;
    timescale_t _timescale;
    std::vector<assignment_t*> _interleaved;
    std::deque<process_t> _processes;
    std::array<statement_queue, num_of_queues> _queues;
    std::vector<prop_t> _props;
    std::vector<sequence> _seqs;
    time_t _current_simulation_time = 0;
    std::map<int, std::vector<std::string>> _line_instance_map;
    std::vector<std::pair<int, int>> _line_ctx_map;
    std::string _console_path;
    std::unordered_map<int, bool> _pre_nba_bits;
    std::unordered_map<int, uint8_t> _pre_nba_bytes;
    std::unordered_map<int, uint64_t> _pre_nba_longs;
    bool _pre_nba_active = false;
    std::vector<bool> _sampled_bits;
    std::vector<uint8_t> _sampled_bytes;
    std::vector<uint64_t> _sampled_longs;
    bool _sampled_kept = false;
    time_t _sampled_time = 0;
    // The cells that show another value than their current one, each with
    // the value it does not show at the moment.
    struct shown_value {
        operand_t type;
        int pos;
        uint64_t value;
    };
    std::vector<shown_value> _shown_values;
    bool _showing_sampled = false;
    time_t _delta_time = 0;
    int _delta_count = 0;
    std::ofstream _display_log;
    MonitorWatcher _monitor;
    std::vector<MonitorWatcher> _registered_monitors;
    bool _halt_simulation = false;
    bool _resume_simulation = false;
    bool _simulation_finished = false;
    stop_reason_t _stop_reason = stop_reason_t::NONE;
};

} // namespace wsim_kernel
