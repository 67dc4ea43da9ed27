// The simulation kernel: typed signal stores, compiled expressions, processes
// that run as small programs, properties, and the single simulation state with
// its event-driven region scheduler.
//
// A model can be put together by hand through sim_state::instance(), as
// tests/kernel_test.cpp does (its clock and counter are a complete example):
// 1. clear(); add each signal's cell to the store of its width (add_bit,
//    add_byte, add_long) and set_signal_width().
// 2. add_expr() the expressions (expr_t: a stack program, kernel_expr.h),
//    add_lvalue() the targets, add_event_list() what WAIT statements wait on.
// 3. Write each process as a program of assignment_t statements (BA, NBA,
//    DELAY, WAIT, JUMP, BRANCH, ...) and add_process() it; a continuous
//    driver is an ASSIGN process of one CA statement. What a process wakes
//    on is read from its statements.
// 4. set_line_ctx_map() (statement line -> file and source line) and
//    set_console_path(), then run(). Steps go to the recorder
//    (wsim_timeseries::TimeSeriesDB), whose rows need Database::init().
#pragma once

#include "console_file.h"
#include "kernel_expr.h"
#include "time_units.h"
#include "timeseries.h"

#include <array>
#include <cassert>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace wsim_kernel {

// One signal as the model builder registers it: its starting value and its
// name. The state keeps the value in the store of its width and the name
// apart; everyone refers to a signal by its position there.
template <typename T>
class value_t {
public:
    using _type = T;

    value_t(T state, bool /*changed*/, std::string name, int /*line*/)
        : _state(std::move(state)), _name(std::move(name)) {}

    T state() const { return _state; }
    const std::string& name() const { return _name; }

private:
    T _state;
    std::string _name;
};

using bit = value_t<bool>;
using byte_t = value_t<uint8_t>;
using long_t = value_t<uint64_t>;

// Closures of the model that are not compiled expressions: property
// conditions and the display formatters.
using exp_t = std::function<bool()>;

// Part of a target: a whole signal or a slice of it, whose position may be
// computed when the statement runs. Slices follow the declared range of the
// signal: `right` is its right bound, `descending` its direction.
struct lvalue_part {
    signal_ref sig;
    int sig_width = 1;
    int width = 1;           // bits written
    bool whole = true;
    int index_expr = 0;      // expression giving the index of the slice's lsb; 0: constant
    bool index_signed = false;
    int64_t index_adjust = 0; // added to that index (or the constant lsb index)
    int64_t right = 0;
    bool descending = true;
};

// A target: one or more parts, most significant first (a concatenation).
struct lvalue_t {
    std::vector<lvalue_part> parts;
    int width = 1;
};

// One resolved write: `width` bits at bit `offset` of a signal.
struct resolved_write {
    signal_ref sig;
    int sig_width = 64; // declared width of the signal
    int offset = 0;
    int width = 0;
    bool whole = true;
    uint64_t value = 0;
};

// A target that is one whole signal: what its write needs, nothing to resolve.
struct whole_target {
    signal_ref sig;
    int sig_width = 0;
    int width = 0;
    bool whole = false; // false: the target is not one whole signal

    resolved_write write_of(uint64_t value) const {
        resolved_write w;
        w.sig = sig;
        w.sig_width = sig_width;
        w.width = width;
        w.value = value & width_mask(width);
        return w;
    }
};

// The writes of one target. Most targets are one signal: that write is kept
// inline, so a statement's write costs no allocation.
class write_list {
public:
    void push_back(const resolved_write& w) {
        if (_size++ == 0)
            _first = w;
        else
            _more.push_back(w);
    }
    size_t size() const { return _size; }
    const resolved_write& operator[](size_t i) const { return i == 0 ? _first : _more[i - 1]; }
    void clear() {
        _size = 0;
        _more.clear();
    }

private:
    resolved_write _first;
    std::vector<resolved_write> _more;
    size_t _size = 0;
};

// ANY: any change of the value; POS, NEG, BOTH: an edge of its least
// significant bit.
enum class edge_t : int { ANY = 0, POS = 1, NEG = 2, BOTH = 3 };

// One event of a timing control: a change (or edge of the least significant
// bit) of an expression, which counts only when `iff` then holds; `direct`
// names the signal when the expression is one whole signal and there is no
// `iff`.
struct event_t {
    int expr = 0;
    edge_t edge = edge_t::ANY;
    signal_ref direct;
    int iff = 0; // expression; 0: none
};

enum class assign_t : uint8_t {
    CA = 0,          // continuous driver: lhs <- expr, whenever a source changes
    BA = 1,          // blocking assignment
    NBA = 2,         // non-blocking assignment
    SF = 3,          // $display, $write, $finish
    MONITOR_REG = 4, // $monitor: makes its watcher the active one
    PROP = 5,        // evaluates a concurrent property
    NOP = 7,
    HALT = 8,        // end of an initial or final process
    DELAY = 9,       // waits `delay` time steps
    WAIT = 10,       // waits for one of the events of `events`
    JUMP = 11,       // continues at `target`
    BRANCH = 12,     // continues at `target` when `expr` is zero
    CASE = 13,       // continues at the arm of case table `table`
    NBA_DUE = 14,    // hands the writes of held list `table` to the NBA region
    SAMPLE = 15,     // a clock tick of the stable entries of sample group `table`
    ATTEMPT = 16,    // a procedure reaches the concurrent assertion of property `table`
};

enum class proc_t : uint8_t {
    ALWAYS = 0, INITIAL = 1, ASSIGN = 2, ASSERT = 3, COMBO = 4, FINAL = 5
};

// System functions an SF statement runs.
enum class sf_kind : uint8_t { NONE = 0, DISPLAY = 1, WRITE = 2, FINISH = 3, MONITOR = 4 };

class sim_state;

// One statement of a process: an assignment, a system task, a wait, or a
// step of control flow. Statements refer to everything by index.
// Statements sit side by side in the program a run walks: keep them small.
class assignment_t {
public:
    assignment_t() = default;
    assignment_t(assign_t type, int line) : _type(type), _line(line) {}

    assign_t type() const { return _type; }
    int line() const { return _line; }

    int lhs = 0;        // lvalue index (CA, BA, NBA)
    int expr = 0;       // expression (CA, BA, NBA, BRANCH) or formatter closure (SF, MONITOR_REG)
    // Time steps (DELAY; CA: transport of a delayed driver; NBA: the update
    // lands in the NBA region this much later). With `delay_expr` the delay
    // is that expression's value when the statement runs, counted in units
    // of `delay` (at least 1) time steps.
    time_t delay = 0;
    int delay_expr = 0;
    int target = 0;     // statement index (JUMP, BRANCH)
    int events = 0;     // event list (WAIT)
    // Case table (CASE); property index (PROP, ATTEMPT); held list (NBA whose
    // update waits for an event, NBA_DUE); sample group (SAMPLE).
    int table = 0;
    sf_kind task = sf_kind::NONE;

private:
    assign_t _type = assign_t::NOP;
    int _line = -1;
};

// A user function: its arguments arrive in locals, its body runs to the
// end, and its result is the local named after it.
struct function_t {
    std::string name;
    std::vector<int> args;   // local slots, in argument order
    std::vector<int> widths; // bits of each argument
    int result = 0;          // local slot of the return value
    std::vector<assignment_t> body;
    bool running = false;
};

// Where a call copies a function's output and inout arguments when it
// returns: each target gets the value of its expression (which reads the
// argument's local).
struct call_out {
    int target = 0; // lvalue
    int value = 0;  // expression
};

// A case statement's arms: each item is compared with the selector in
// order; items with a mask compare only the bits the mask keeps. A range
// item (`hi` set) matches a selector from `expr` to `hi`, bounds included,
// compared at `width` bits, signed or not.
struct case_item {
    int expr = 0;
    uint64_t mask = ~uint64_t{0};
    int target = 0;
    int hi = 0;
    int width = 64;
    bool is_signed = false;
    // A constant item's value, known when the table is added.
    bool constant = false;
    uint64_t value = 0;
};
struct case_table {
    int selector = 0;
    std::vector<case_item> items;
    int default_target = 0;
    int check = 0; // the case_check of a unique or priority qualifier; 0: none
};

// A unique, unique0 or priority qualifier of a case statement, or of an
// if-else-if chain run as one, and how its violation reports name it.
struct case_check {
    enum class kind_t : uint8_t { UNIQUE, UNIQUE0, PRIORITY };
    kind_t kind = kind_t::UNIQUE;
    bool is_if = false;
    // A default item or a final else: then no match is no violation.
    bool has_default = false;
    std::string place; // "file.sv:12: unique case"
    std::string scope; // the hierarchical name of the statement's scope
};

enum class proc_state : uint8_t { IDLE, READY, DELAYED, WAITING, DONE };

// One process as the model builder made it: its statements, its name and
// where it comes from. Where it stands while the model runs is its
// process_run, kept apart.
class process_t {
public:
    process_t(int line, std::string name, proc_t type);

    assignment_t& add_statement(const assignment_t& a);
    int number_of_statements() const { return static_cast<int>(_statements.size()); }
    assignment_t* ith_statement(int i) { return &_statements[static_cast<size_t>(i)]; }
    const assignment_t* ith_statement(int i) const { return &_statements[static_cast<size_t>(i)]; }

    int line() const { return _line_no; }
    const std::string& name() const { return _name; }
    proc_t type() const { return _p_type; }
    const std::string& instance_id() const { return _instance_id; }
    void set_instance_id(const std::string& s) { _instance_id = s; }

    std::vector<uint64_t> event_values; // what the awaited event expressions held

private:
    proc_t _p_type = proc_t::ALWAYS;
    std::string _instance_id;
    int _line_no = 0;
    std::string _name;
    std::vector<assignment_t> _statements;
};

// Where one process stands while the model runs: what the scheduler reads
// and writes whenever it wakes or runs the process. The records sit side by
// side in 16 bytes each, apart from the processes' names and statements, so
// that the run state of a large design stays in the cache.
struct process_run {
    int pc = 0;
    // Where its statements are in the state's program, which holds every
    // process's statements side by side.
    int code_base = 0;
    int code_length = 0;
    proc_t type = proc_t::ALWAYS;
    proc_state state = proc_state::IDLE;
    bool queued = false; // in a region queue already
};
static_assert(sizeof(process_run) == 16, "four run states to a cache line");

// The rest of a process's run state, read only by delays and continuous
// drivers.
struct process_timing {
    // A delayed process: when it is due. A delayed continuous driver: the
    // sequence number of its latest value in flight.
    time_t wake_time = 0;
    // A continuous driver's runs in the time step `runs_step`; one that never
    // settles is run once per time step.
    time_t runs_step = ~time_t{0};
    int runs_this_step = 0;
    bool unsettled = false;
};

enum class implication_t : int { VACUOUS = 0, PREDICATE_TRUE = 1, FAIL = 2, TRUE = 3 };

// One boolean of a property's sequence and the clock ticks that may pass
// before it (after the previous step, or after the attempt's start).
struct prop_step {
    int condition_exp = 0; // closure index
    uint64_t min_delay = 0;
    uint64_t max_delay = 0;
};

// One concurrent property: an optional boolean antecedent and a sequence of
// steps. Every clock tick whose antecedent holds starts an attempt, and each
// attempt is judged on its own. A property written in a procedure starts
// one only where the procedure reached it: at that time step's tick, or at
// the next tick.
class prop_t {
public:
    // A step an attempt waits at, tested at every tick from `from` to `to`.
    struct window {
        size_t step = 0;
        uint64_t from = 0;
        uint64_t to = 0;
    };
    struct attempt {
        std::vector<window> waits;
    };

    prop_t(const std::string& label, int line);

    const std::string& name() const { return _label; }
    const std::vector<int>& stable_deps() const { return _stable_deps; }
    void add_stable_dep(int idx) { _stable_deps.push_back(idx); }

    bool disabled() const;
    // One tick of the property's clock at simulation time `now`.
    void evaluate(time_t now);
    bool in_flight() const { return !_attempts.empty(); }
    // A procedure reached the assertion, and its time step has come to the
    // observed region: this step's tick, or the next, starts an attempt
    // (IEEE 1800 16.14.6).
    void request_attempt() { _requested = true; }
    // Between ticks: when the disable condition holds, the attempts in flight
    // end with no result.
    void disable_in_flight(time_t now);

    int disable_iff_expr = 0; // compiled expression, judged on current values; 0: none
    bool disable_check_queued = false; // stands in the kernel's list of checks
    int antecedent_exp = 0; // closure; 0: every tick starts an attempt
    std::vector<prop_step> steps;
    bool procedural = false; // attempts start only where request_attempt() asks

private:
    enum class outcome { PENDING, PASS, FAIL };
    outcome advance(attempt& a, uint64_t tick);
    bool step_holds(size_t step);
    void report(const char* result, time_t now);

    std::string _label;
    int _line = 0;
    implication_t _state = implication_t::VACUOUS;
    std::vector<int> _stable_deps;
    uint64_t _ticks = 0;
    std::vector<attempt> _attempts;
    bool _requested = false;
    attempt _fresh;
    std::vector<int8_t> _holds; // this tick's step conditions: -1 not yet read
    std::vector<uint8_t> _reached;
    std::string _shown;         // the result last reported
};

// A signal sampled for $rose/$fell/$stable/$changed: its value at the
// property's previous clock tick. One in procedural code is sampled at each
// tick of the procedure's clock (a SAMPLE statement): it compares the value
// at the latest tick, `tick_value`, with the one at the tick before.
struct stable_entry {
    int sig_pos = 0;
    operand_t sig_type = operand_t::BIT;
    uint64_t prev_value = 0;
    bool initialized = false;
    bool procedural = false;
    uint64_t tick_value = 0;

    stable_entry(int pos, operand_t type) : sig_pos(pos), sig_type(type) {}
};

// The stable entries of one procedure, sampled once a time step at the
// ticks of its clock. A procedure that other events wake too checks that
// its clock ticked.
struct sample_group {
    std::vector<int> entries;
    signal_ref clock; // position 0: every wake is a tick
    edge_t edge = edge_t::ANY;
    time_t last_step = ~time_t{0};
};

// The simulation's time base: the finest precision of the design's modules,
// and the unit of its top module (what $time answers there).
struct timescale_t {
    uint64_t time_unit_ps = 1000;
    uint64_t time_prec_ps = 1;
    bool was_set = false;
    // One tick of simulation time; a design without a timescale counts in nanoseconds.
    uint64_t tick_fs = 1000000;
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
    DELTA_LIMIT,    // one time step took more than max_delta_cycles rounds
    QUEUE_OVERRUN,  // a region held more entries than one drain may take
    NO_MORE_EVENTS, // nothing was left to happen
    CONSOLE_LIMIT,  // the console file reached max_console_bytes
};
// "finish", "time limit", "cycle limit", "delta limit", "queue overrun",
// "no more events", "console limit", or "none".
const char* stop_reason_text(stop_reason_t reason);

// Who waits on a signal: a process (at one of its WAIT statements, or at any
// point for a continuous driver), a property's clock or its disable condition,
// or a $monitor.
inline constexpr int disable_watch = -2;
inline constexpr int monitor_watch = -3;
struct fanout_t {
    int proc = 0;
    // WAIT statement index; -1: the process runs on any change; disable_watch:
    // the property of the process checks its disable condition; monitor_watch:
    // `proc` is a $monitor's watcher, told that one of its values may move.
    int stmt = -1;
    // The event watches this signal itself, on this edge: no expression to
    // evaluate again.
    bool direct = false;
    edge_t edge = edge_t::ANY;
};

// A write scheduled for later: a non-blocking update, or a delayed
// continuous driver's value.
struct pending_write {
    time_t when = 0;
    uint64_t seq = 0;
    int proc = 0; // the process whose statement made it (line and cause)
    int stmt = 0;
    // Due at a later time: a non-blocking update lands in the NBA region of
    // that time; a driver's value is written as the time step begins.
    bool nba = false;
    write_list writes;
};

// A non-blocking update in the NBA region: one resolved write of statement
// `stmt` of process `proc`. The further parts of a target of several parts
// follow with `stmt` -1, so that the region lists the statement once.
struct nba_write {
    resolved_write write;
    time_t when = 0;
    int proc = 0;
    int stmt = 0;
};

// Non-blocking updates that wait for an event (`q <= @(posedge c) d`). A
// helper process waits on the event and, at its NBA_DUE statement, hands
// over every update made before the event occurred; one made after the
// event but before the hand-over waits for the next occurrence.
struct held_writes {
    int helper = 0;   // the helper process
    int due_stmt = 1; // index of its NBA_DUE statement
    std::vector<pending_write> waiting;
    std::vector<pending_write> after_event;
};

// A process due at a later time.
struct timed_wake {
    time_t when = 0;
    uint64_t seq = 0;
    int proc = 0;
    bool operator>(const timed_wake& o) const {
        return when != o.when ? when > o.when : seq > o.seq;
    }
};

class sim_state {
public:
    // Times are given in `time_unit`; the run converts them to its ticks.
    struct SimConfig {
        uint64_t max_sim_time = 0; // 0: no limit
        int max_sim_cycle = 1000;
        std::string time_unit = "ns";
        uint64_t start_time = 0;
        bool infinite_loop_abort = false;
        int max_delta_cycles = 1000;
        // The console file holds at most this much of what the design prints.
        uint64_t max_console_bytes = uint64_t{1} << 30;
    };

    struct MonitorWatcher {
        int exp_idx = 0;          // formatter closure
        std::vector<int> watched; // expressions whose change makes it print
        std::vector<size_t> followed; // those whose every change is seen as it happens
        std::vector<uint64_t> last;
        bool moved = false; // a followed value changed in this time step
        bool active = false;
        bool printed = false;
        int proc = 0;  // the process whose $monitor statement started it
        int line = -1; // that statement's line context
        time_t checked_step = ~time_t{0}; // the time step whose monitor region last ran
    };

    static sim_state& instance();
    sim_state(const sim_state&) = delete;
    sim_state& operator=(const sim_state&) = delete;

    // Registration; each answers the new element's index.
    int add_bit(bit b);
    int add_byte(byte_t b);
    int add_long(long_t l);
    int add_exp(exp_t e);
    int add_expr(expr_t e);
    int add_lvalue(lvalue_t l);
    int add_event_list(std::vector<event_t> events);
    int add_case_table(case_table t);
    int add_case_check(case_check c);
    int add_function(function_t f);
    int add_local(uint64_t initial = 0);
    int add_prop(const prop_t& p);
    int add_stable_entry(stable_entry e);
    int add_held_writes();
    int add_call_outs(std::vector<call_out> outs);
    int add_sample_group(sample_group g);
    held_writes& held(int i) {
        assert(in_range(i, _held));
        return _held[static_cast<size_t>(i)];
    }
    // Answers the index of the process in the model. What the process waits
    // on is known from its statements: a continuous driver runs when a
    // signal its value or target reads changes; a WAIT or PROP statement
    // watches the signals of its events.
    int add_process(process_t p);
    // The signals an expression reads, those read inside the functions it
    // calls too when asked.
    std::vector<signal_ref> expression_reads(int e, bool through_functions);
    // Process `proc` runs when the signal changes (stmt -1), or when it
    // waits at WAIT statement `stmt` and one of its events occurs. A repeat
    // is dropped when it follows the process's other entries, as the entries
    // add_process() makes do; any other is only a waiter visited twice.
    void add_fanout(signal_ref sig, int proc, int stmt);
    void add_fanout(signal_ref sig, fanout_t entry);
    // Another name under which changes of a signal are recorded.
    void add_signal_alias(signal_ref sig, const std::string& name);

    exp_t& exps(int i) {
        assert(in_range(i, _exps));
        return _exps[static_cast<size_t>(i)];
    }
    const expr_t& exprs(int i) const {
        assert(in_range(i, _exprs));
        return _exprs[static_cast<size_t>(i)];
    }
    const lvalue_t& lvalues(int i) const {
        assert(in_range(i, _lvalues));
        return _lvalues[static_cast<size_t>(i)];
    }
    const std::vector<event_t>& event_list(int i) const {
        assert(in_range(i, _event_lists));
        return _event_lists[static_cast<size_t>(i)];
    }
    // Whether every event of the list watches a signal itself.
    bool event_list_direct(int i) const { return _event_list_direct[static_cast<size_t>(i)] != 0; }
    const case_table& case_tables(int i) const {
        assert(in_range(i, _case_tables));
        return _case_tables[static_cast<size_t>(i)];
    }
    function_t& functions(int i) {
        assert(in_range(i, _functions));
        return _functions[static_cast<size_t>(i)];
    }
    uint64_t& locals(int i) {
        assert(in_range(i, _locals));
        return _locals[static_cast<size_t>(i)];
    }
    prop_t& props(int i) {
        assert(in_range(i, _props));
        return _props[static_cast<size_t>(i)];
    }
    stable_entry& stable_entries(int i) {
        assert(in_range(i, _stable_entries));
        return _stable_entries[static_cast<size_t>(i)];
    }
    std::vector<process_t>& all_processes() { return _processes; }
    time_t& sim_time() { return _current_simulation_time; }
    timescale_t& timescale() { return _timescale; }
    // The configured time unit in ticks of this model.
    TickScale tick_scale() const {
        return {unit_femtoseconds(sim_config.time_unit), _timescale.tick_fs};
    }

    // Value of a signal by its store; a bit reads as 0 or 1.
    uint64_t read_signal_val(int pos, operand_t type) {
        switch (type) {
        case operand_t::BYTE: return _bytes[static_cast<size_t>(pos)];
        case operand_t::LONG: return _longs[static_cast<size_t>(pos)];
        case operand_t::BIT: return _bits[static_cast<size_t>(pos)];
        case operand_t::LOCAL: return _locals[static_cast<size_t>(pos)];
        default: return 0;
        }
    }
    uint64_t read(signal_ref r) { return read_signal_val(r.pos, r.type); }
    const std::string& signal_name(signal_ref r);
    // Declared width of a signal (its store's width when never set).
    int signal_width(signal_ref r) const;
    void set_signal_width(signal_ref r, int width);

    // Evaluates compiled expression `e` (index 0 answers 0).
    uint64_t eval(int e) {
        if (e == 0)
            return 0;
        const expr_slot& x = _expr_slots[static_cast<size_t>(e)];
        const xins* code = _expr_code.data() + x.at;
        // Most expressions are one signal or one constant.
        if (x.shape == expr_shape::LEAF)
            return leaf_value(code[0]);
        return eval_operations(code, x.length, x.max_stack, x.shape);
    }
    // An expression of operations: the short shapes directly, the rest as a
    // stack program.
    uint64_t eval_operations(const xins* code, uint32_t length, uint32_t max_stack,
                             expr_shape shape);
    uint64_t leaf_value(const xins& in) {
        return in.op == xop::CONST ? in.k : read_signal_val(in.a, in.ty);
    }
    uint64_t eval_code(const expr_t& x) {
        return eval_program(x.code.data(), static_cast<uint32_t>(x.code.size()),
                            static_cast<uint32_t>(x.max_stack));
    }
    uint64_t eval_program(const xins* code, uint32_t length, uint32_t max_stack);
    // Evaluates `e` while the model is built: the functions it calls print
    // nothing and leave every task and function variable as it was.
    uint64_t eval_constant(int e);
    // Runs the body of a function whose arguments sit in its locals.
    void run_function(int f);

    // Writes a value into a target now: wakes whoever waits on what changed
    // and tells the recorder. `cause` names the writing process. Answers
    // whether anything changed.
    bool write_lvalue(int lv, uint64_t value, const std::string& cause);
    // The slices a target covers, with their positions resolved now.
    void resolve_lvalue(int lv, uint64_t value, write_list& out);
    // Answers whether the signal changed.
    bool apply_write(const resolved_write& w, const std::string& cause) {
        const signal_ref sig = w.sig;
        if (!w.whole || sig.pos <= 0 || sig.type == operand_t::LOCAL)
            return apply_merged_write(w, cause);
        const uint64_t next = w.value & width_mask(w.sig_width);
        const uint64_t old = read_signal_val(sig.pos, sig.type);
        if (!store_changed(sig, next))
            return false;
        signal_changed(sig, old, next, cause);
        return true;
    }
    // Sets a signal's value before the run starts: no event, no change mark.
    void set_initial_value(signal_ref r, uint64_t v);
    // Gives a signal (or a local) the value of expression `e` as a fresh run
    // starts, before any process: a static variable's initialiser that reads
    // other variables. They run in the order added.
    void add_static_initialiser(signal_ref r, int e) { _static_initialisers.push_back({r, e}); }

    // Sampled values: what every signal held when the current time step
    // began. Kept only for models with properties, which judge by them.
    bool keeps_sampled_values() const { return _props.size() > 1 || _sample_groups.size() > 1; }
    uint64_t sampled_signal_val(int pos, operand_t type);
    void show_sampled_values();
    void show_current_values();
    bool holds_on_current_values(int expr);
    void update_stable(int i);
    void update_stable_deps(const prop_t& p);

    // $monitor: every call registers its watcher up front; starting one
    // makes it the only active watcher, and it prints at the end of that
    // time step and of every later one in which a watched value changed.
    void register_monitor(int exp_idx, const std::vector<int>& watched);
    void start_monitor(int exp_idx, int proc, int line);
    // The active monitor waits in the monitor region of every time step
    // until that region has run it.
    bool monitor_waiting() const { return _monitor.active && _monitor.checked_step != _step_id; }

    void halt_simulation();
    void resume_simulation();
    bool simulation_halted() const { return _halt_simulation; }
    void finish_simulation() { _simulation_finished = true; }
    bool is_simulation_finished() const { return _simulation_finished; }
    stop_reason_t stop_reason() const { return _stop_reason; }

    void set_line_ctx_map(const std::vector<std::pair<int, int>>& table) { _line_ctx_map = table; }
    std::pair<int, int> get_line_context(int line) const;
    void set_console_path(const std::string& path) { _console_path = path; }
    const std::string& console_path() const { return _console_path; }

    // Puts what the design prints into the console file; opened (truncating)
    // on first use when closed. Past the console limit it takes nothing more,
    // and the run stops. What it takes reaches the file by the time run()
    // returns.
    void print(std::string_view text);
    // Starts a fresh console file with the banner.
    void reset_display_log();
    static void write_banner(std::ostream& out);
    // Why the console file of the last run lacks output (it could not be
    // opened or written), with how much was lost; "" when it holds it all.
    std::string console_failure() const;

    // Queue dump to standard output; every run ends with one.
    void print_state();
    void capture_queue_state(wsim_timeseries::QueueState& qs);
    // Every queued entry: its region, its process, the line context of the
    // statement it stands for, and when it is due.
    void for_each_queued(
        const std::function<void(int queue, const process_t& p, int line, time_t when)>& f);

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

    void add_sentinels();
    void record_step(int line);
    // Records a step while the recorder keeps them; once it stops, a statement
    // costs no call for it.
    void note_step(int line) {
        if (!_recorder.is_recording_stopped())
            record_step(line);
    }
    void stop(stop_reason_t reason);
    void open_console(bool append);
    void flush_console();
    // Stops the run at the console limit; logs a console file that failed.
    void check_console();

    // Scheduling.
    void start_processes();
    void make_ready(int proc) {
        process_run& p = _runs[static_cast<size_t>(proc)];
        if (p.queued)
            return;
        p.queued = true;
        p.state = proc_state::READY;
        _active.push_back(proc);
    }
    void schedule_wake(int proc, time_t when);
    // Wakes who waits on a change of `sig`, a signal of the bit, byte or long
    // store; most signals have no waiter, and cost no call.
    void wake_fanout(signal_ref sig, uint64_t old_value, uint64_t new_value) {
        wake_waiters(store_index(sig.type), sig.pos, old_value, new_value);
    }
    // The same for position `pos` of the store with waiter lists `store`.
    void wake_waiters(size_t store, int pos, uint64_t old_value, uint64_t new_value) {
        if (!_wake_lists_built)
            build_wake_lists();
        const wake_list& wakes = _wake_lists[store];
        const size_t kind = (old_value & 1) == (new_value & 1) ? 2 : (new_value & 1) ? 0 : 1;
        const size_t at = 3 * static_cast<size_t>(pos) + kind;
        if (at + 1 >= wakes.start.size() || wakes.start[at] == wakes.start[at + 1])
            return;
        wake(wakes.entries.data() + wakes.start[at], wakes.entries.data() + wakes.start[at + 1],
             old_value, new_value);
    }
    void wake(const fanout_t* entry, const fanout_t* end, uint64_t old_value, uint64_t new_value);
    void wake_local(int slot, uint64_t old_value, uint64_t new_value);
    bool event_fires(const event_t& ev, uint64_t& remembered);
    void snapshot_events(int proc, const assignment_t& wait) {
        // Events on a signal itself are judged from the write; only the others
        // need their value now.
        if (!event_list_direct(wait.events))
            snapshot_expression_events(proc, wait);
    }
    void snapshot_expression_events(int proc, const assignment_t& wait);
    // The time steps statement `s` waits (or delays its write) when it runs
    // now; false for a delay expression whose value is negative or past what
    // time counts, which is said once a statement: `outcome` says what the
    // run does instead.
    bool delay_now(const assignment_t& s, time_t& steps, const char* outcome) {
        steps = s.delay;
        return s.delay_expr == 0 || expression_delay(s, steps, outcome);
    }
    bool expression_delay(const assignment_t& s, time_t& steps, const char* outcome);
    bool run_time_step();
    bool advance_time();
    void main_loop();
    bool drain_active();
    void apply_nba_region();
    void apply_pending(const pending_write& w);
    // Puts an update into the NBA region of the current time step.
    void queue_nba(const pending_write& w);
    void schedule_write(pending_write w);
    void hold_write(int list, pending_write w);
    void hand_over(int list);
    void run_monitor_region();
    void note_monitor_change(int watcher);
    void run_observed_region();
    // A procedure reached a concurrent assertion: the attempt waits for the
    // observed region, where it matures, unless the procedure resumes from
    // an event control before then (IEEE 1800 16.14.6.2).
    void reach_assertion(int prop, int proc, int stmt) { _reached.push_back({prop, proc, stmt}); }
    void flush_reached(int proc);
    void queue_disable_check(int proc);
    // Disable conditions are judged once a region has run, on the values it
    // left, as a process waiting on their operands would see them: not
    // halfway through one process's writes or one NBA region's updates.
    void settle_disables() {
        if (!_disable_checks.empty())
            check_disables();
    }
    void check_disables();
    void run_final_processes();
    void note_sampled(signal_ref sig, uint64_t old_value);
    void begin_sampling_step();
    void exchange_shown_values();

    // Execution.
    void execute(int proc);
    void run_continuous(int proc);
    void run_property(int proc);
    void run_system_task(const assignment_t& s);
    bool case_arm(const case_table& t, int& target);
    bool item_matches(const case_item& item, uint64_t selector);
    bool in_range_item(const case_item& item, uint64_t selector);

    // Unique and priority checks (kernel_checks.cpp). A violation is judged
    // when the statement runs and reported in the console once the time
    // step's regions have run, unless its process runs again before that
    // (an always_comb that settles after a glitch reports nothing).
    void judge_case(const case_table& t, size_t matched, uint64_t selector);
    void drop_reports_of(int proc);
    void print_deferred_reports();
    struct deferred_report {
        int proc;
        std::string text;
    };
    std::vector<case_check> _case_checks;
    std::vector<deferred_report> _deferred_reports;
    int _running_proc = -1; // the process the active region runs; -1 outside it
    void sample_tick(int group);

    // The values, one cell per signal position (a bit holds 0 or 1), and
    // their names apart: the cells a run touches sit close together.
    std::vector<uint8_t> _bits;
    std::vector<uint8_t> _bytes;
    std::vector<uint64_t> _longs;
    std::array<std::vector<std::string>, 3> _names;
    // Puts a value into its cell; answers the value the cell held.
    uint64_t store(signal_ref sig, uint64_t v);
    // A write of part of a signal, or of a local, or of no signal.
    bool apply_merged_write(const resolved_write& w, const std::string& cause);
    // Stores a value in its cell; answers whether the cell changed.
    bool store_changed(signal_ref sig, uint64_t next) {
        const auto at = static_cast<size_t>(sig.pos);
        switch (sig.type) {
        case operand_t::BIT: {
            const uint8_t bit = next != 0 ? 1 : 0;
            return std::exchange(_bits[at], bit) != bit;
        }
        case operand_t::BYTE: {
            const auto byte = static_cast<uint8_t>(next);
            return std::exchange(_bytes[at], byte) != byte;
        }
        case operand_t::LONG: return std::exchange(_longs[at], next) != next;
        default: return false;
        }
    }
    // What follows a change: sampled values, the recorder, the waiters.
    void signal_changed(signal_ref sig, uint64_t old, uint64_t next, const std::string& cause) {
        if (keeps_sampled_values() || !_recorder.is_recording_stopped())
            note_change(sig, old, next, cause);
        wake_fanout(sig, old, next);
    }
    void note_change(signal_ref sig, uint64_t old, uint64_t next, const std::string& cause);
    // Stores a task or function local and wakes who waits on it; answers
    // whether it changed. Calls write locals all the time and few have a
    // waiter: the others cost one comparison more.
    bool write_local(int slot, uint64_t v) {
        uint64_t& cell = locals(slot);
        const uint64_t old = cell;
        cell = v;
        if (slot < _locals_watched_below) [[unlikely]]
            wake_local(slot, old, v);
        return old != v;
    }
    std::vector<exp_t> _exps;
    std::vector<expr_t> _exprs;
    std::vector<lvalue_t> _lvalues;
    // What a run reads of the model, laid out so that what one activation
    // touches sits together: every process's statements side by side, every
    // expression's code side by side (each expression a slot into it), and
    // the targets that are one whole signal.
    struct expr_slot {
        uint32_t at = 0;
        uint32_t length = 0;
        uint32_t max_stack = 1;
        expr_shape shape = expr_shape::PROGRAM;
    };
    std::vector<assignment_t> _program;
    std::vector<expr_slot> _expr_slots;
    std::vector<xins> _expr_code;
    std::vector<whole_target> _whole_targets;
    std::vector<std::vector<event_t>> _event_lists;
    std::vector<uint8_t> _event_list_direct;
    std::vector<case_table> _case_tables;
    std::vector<function_t> _functions;
    std::vector<uint64_t> _locals;
    std::vector<stable_entry> _stable_entries;
    std::vector<held_writes> _held;
    std::vector<std::vector<call_out>> _call_outs;
    std::vector<sample_group> _sample_groups;
    // Waiters by store: bits, bytes, longs, task and function locals.
    std::array<std::vector<std::vector<fanout_t>>, 4> _fanout;
    // Who a change of a signal may wake, by what the change does to its least
    // significant bit (rises, falls, stays): per position three ranges of
    // `entries`, each in the order of _fanout, so that an edge visits no
    // waiter of the other edge. Built from _fanout before a change wakes anyone.
    struct wake_list {
        std::vector<uint32_t> start; // [3 * position + kind]; one more at the end
        std::vector<fanout_t> entries;
    };
    std::array<wake_list, 4> _wake_lists;
    int _locals_watched_below = 0; // every local someone waits on has a lower slot
    bool _wake_lists_built = false;
    void build_wake_lists();
    std::array<std::vector<int>, 3> _signal_widths;
    std::array<std::vector<std::vector<std::string>>, 3> _aliases;
    timescale_t _timescale;
    std::vector<process_t> _processes;
    // One of each per process, by its index.
    std::vector<process_run> _runs;
    std::vector<process_timing> _timings;
    std::vector<prop_t> _props;
    time_t _current_simulation_time = 0;
    // The last tick the run may reach (max_sim_time in ticks), set as a run starts.
    time_t _time_limit = end_of_time;
    std::vector<std::pair<int, int>> _line_ctx_map;
    std::string _console_path;
    ConsoleFile _console;
    bool _console_failure_logged = false;

    // Region queues.
    // A queue of processes that is emptied from the front and only grows at
    // the back until it is empty: a vector and a read position.
    class process_fifo {
    public:
        void push_back(int proc) { _items.push_back(proc); }
        bool empty() const { return _next == _items.size(); }
        int pop_front() {
            const int proc = _items[_next++];
            if (_next == _items.size())
                clear();
            return proc;
        }
        void clear() {
            _items.clear();
            _next = 0;
        }
        auto begin() const { return _items.begin() + static_cast<std::ptrdiff_t>(_next); }
        auto end() const { return _items.end(); }

    private:
        std::vector<int> _items;
        size_t _next = 0;
    };
    process_fifo _active;      // processes
    std::vector<int> _inactive; // processes after #0
    std::vector<nba_write> _nba_now;
    std::vector<nba_write> _nba_applying;
    std::vector<int> _observed; // property processes clocked in this step
    struct reached_assertion {
        int prop = 0;
        int proc = 0; // the procedure, at its ATTEMPT statement `stmt`
        int stmt = 0;
    };
    std::vector<reached_assertion> _reached; // attempts not yet matured, in order
    std::vector<int> _disable_checks; // properties whose disable condition may have come true
    std::vector<timed_wake> _wakes;            // heap of processes
    std::vector<pending_write> _future_writes; // heap by (when, seq)
    uint64_t _seq = 0;
    bool _finish_requested = false;

    // Sampled values: the cells changed in the current time step, each with
    // the value it held when the step began.
    struct sampled_cell {
        signal_ref sig;
        uint64_t value;
    };
    std::vector<sampled_cell> _sampled;
    std::array<std::vector<uint32_t>, 3> _sampled_slot; // index + 1 into _sampled
    time_t _step_id = 0;
    bool _showing_sampled = false;

    struct static_initialiser {
        signal_ref target;
        int expr = 0;
    };
    std::vector<static_initialiser> _static_initialisers;
    std::set<int> _bad_delays_said; // line contexts of the statements

    MonitorWatcher _monitor;
    std::vector<MonitorWatcher> _registered_monitors;
    bool _ca_unsettled_reported = false;
    bool _evaluating_constant = false;
    bool _halt_simulation = false;
    bool _resume_simulation = false;
    bool _simulation_finished = false;
    bool _started = false;
    stop_reason_t _stop_reason = stop_reason_t::NONE;
    // Every write and step asks the recorder whether it still records.
    wsim_timeseries::TimeSeriesDB& _recorder;
};

} // namespace wsim_kernel
