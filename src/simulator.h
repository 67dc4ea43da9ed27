// The model builder: translates slang's elaborated design into the kernel's
// executable model (signal stores, compiled expressions, processes) and
// registers the design with the timeline recorder. What it cannot model it
// leaves out and reports.
#pragma once

#include "core.h"
#include "kernel.h"
#include "parameter_typing.h"

#include <slang/ast/ASTVisitor.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace slang {
class SourceManager;
namespace syntax {
class SyntaxNode;
}
}

// The model that the builder fills.
inline wsim_kernel::sim_state& kernel() { return wsim_kernel::sim_state::instance(); }


// Thrown (and caught inside the builder) when something cannot be modelled:
// the statement, driver or declaration that holds it is left out.
struct Unmodelled {
    std::string construct;
    slang::SourceLocation where;
};

// How a report names a call the compiler builds in: a system task or
// function (`$random`), or a method of a built-in type (an enum's `next`).
inline std::string builtInCallPhrase(std::string_view name) {
    return (name.starts_with('$') ? "system task " : "method ") + std::string(name);
}

inline bool isSampledValueFunction(std::string_view name) {
    return name == "$rose" || name == "$fell" || name == "$stable" || name == "$changed";
}

// Restores a value when a compilation step ends, however it ends.
template <typename T>
class Restore {
public:
    explicit Restore(T& target) : target_(target), saved_(target) {}
    ~Restore() { target_ = std::move(saved_); }
    Restore(const Restore&) = delete;
    Restore& operator=(const Restore&) = delete;

private:
    T& target_;
    T saved_;
};

class SimulatorBuilder
    : public slang::ast::ASTVisitor<SimulatorBuilder, true, true, false, false> {
public:
    using operand_t = wsim_kernel::operand_t;
    using time_t = wsim_kernel::time_t;
    using signal_ref = wsim_kernel::signal_ref;

    explicit SimulatorBuilder(const slang::SourceManager* sourceMgr);

    // ---- Orchestrator interface ------------------------------------------
    void setTopModuleName(const std::string& name);
    void set_file_id_list(const std::map<std::string, int>& file_ids);
    // The project's file table (path to id): how reports spell each file.
    void set_file_names(const std::map<std::string, int>& file_table);
    // Fixes the simulation's time base from every module of the design;
    // must run before the visit.
    void prepareTimescales(const slang::ast::RootSymbol& root);
    // Registers the instance tree with the recorder (the visit does the rest).
    void elaborateInstanceTree(const slang::ast::InstanceSymbol& inst,
                               const std::string& parent_path);
    const std::vector<std::pair<int, int>>& getLineContextMap() const;
    std::string exportRegistryJSON() const;
    // The registry, its maps moved out: the builder is done with them.
    SignalRegistry takeRegistry();
    const std::vector<NotModelled>& notModelled() const { return _not_modelled; }

    // ---- Visitor handlers (public: slang finds them with a requires check)
    void handle(const slang::ast::PortSymbol& port);
    void handle(const slang::ast::InstanceSymbol& inst);
    void handle(const slang::ast::InstanceArraySymbol& array);
    void handle(const slang::ast::VariableSymbol& var);
    void handle(const slang::ast::NetSymbol& net);
    void handle(const slang::ast::ContinuousAssignSymbol& ca);
    void handle(const slang::ast::ProceduralBlockSymbol& block);
    void handle(const slang::ast::GenerateBlockSymbol& block);
    void handle(const slang::ast::SubroutineSymbol&) {}
    // Constructs the model has no place for: reported once each.
    void handle(const slang::ast::PrimitiveInstanceSymbol& s);
    void handle(const slang::ast::ClassType& s);
    void handle(const slang::ast::CovergroupType& s);
    void handle(const slang::ast::ClockingBlockSymbol& s);
    void handle(const slang::ast::CheckerInstanceSymbol& s);
    void handle(const slang::ast::NetAliasSymbol& s);
    void handle(const slang::ast::SpecifyBlockSymbol& s);
    void handle(const slang::ast::ParameterSymbol&) {}
    void handle(const slang::ast::DefParamSymbol& defparam);

    // ---- Registry --------------------------------------------------------
    // Registers a signal under `name` (once) and answers where it lives.
    signal_ref registerSignal(const std::string& name, int width, int line, bool is_port,
                              bool is_reg);
    // A second name for a signal: a port bound to it directly.
    void registerAlias(const std::string& name, signal_ref sig, int width, int line);
    int getLineNumber(slang::SourceLocation loc) const;
    int get_file_id(slang::SourceLocation loc) const;
    std::string fileName(slang::SourceLocation loc) const;
    static uint64_t svintToUint64(const slang::SVInt& value);
    // The known bits of a value: `value` holds them, `mask` marks them.
    static void knownBits(const slang::SVInt& v, uint64_t& value, uint64_t& mask);
    // Appends a (file id, line) pair to the line-context table; answers its index.
    int addLineContext(slang::SourceLocation loc);

    // The registry name of a variable or net: its path below the top.
    std::string signalName(const slang::ast::ValueSymbol& sym) const;
    // The signal of a variable or net, registered on first use; throws
    // Unmodelled for one that is left out.
    signal_ref signalOf(const slang::ast::ValueSymbol& sym);
    // Why a variable or net has no signal in the model: what its declaration
    // is reported as, and every use left out as. Empty when it has one.
    static std::vector<std::string> leftOutReasons(const slang::ast::ValueSymbol& sym);
    // Reports a declaration that is left out; true when it is.
    bool reportLeftOut(const slang::ast::ValueSymbol& sym);
    // `path`, or `path#2`, `path#3`... when another symbol holds it; now `owner`'s.
    std::string ownName(const std::string& path, const slang::ast::Symbol& owner);

    // ---- Not-modelled report ----------------------------------------------
    void reportNotModelled(slang::SourceLocation where, const std::string& construct);
    [[noreturn]] static void unmodelled(const std::string& construct, slang::SourceLocation where);

    // ---- Expressions (simulator_expressions.cpp) -------------------------
    // Compiles an expression into the kernel; throws Unmodelled.
    int compileExpression(const slang::ast::Expression& e);
    // The same, converted to `width` bits as an assignment to such a target
    // would convert it.
    int compileConverted(const slang::ast::Expression& e, const slang::ast::Type& target);
    // 1 when `e` is true (not zero), else 0.
    int compileTruth(const slang::ast::Expression& e);
    // An expression giving `value` at `width` bits.
    static int constantExpression(uint64_t value, int width);
    // A target; throws Unmodelled.
    int compileLValue(const slang::ast::Expression& e);
    // The value of a constant expression (literals and parameters only);
    // throws Unmodelled when it names a parameter slang mistypes.
    std::optional<uint64_t> constantValue(const slang::ast::Expression& e);
    // ---- Parameters (simulator_parameters.cpp) ---------------------------
    // A parameter's value as this model computes it, where it comes from a
    // call of the design's own functions; none where slang's value stands.
    std::optional<uint64_t> parameterValue(const slang::ast::ParameterSymbol& param);
    // Whether slang's value of a parameter has another type than the
    // language gives it (a defparam's, or one computed from such a value):
    // what uses it is left out.
    bool parameterMistyped(const slang::ast::ParameterSymbol& param);
    // Throws Unmodelled when `e` names such a parameter.
    void refuseMistypedParameters(const slang::ast::Expression& e);
    // The signals an expression reads (for sensitivity).
    std::vector<signal_ref> readsOf(int expr, bool through_functions) const;

    // ---- Statements (simulator_statements.cpp) ----------------------------
    using Program = std::vector<wsim_kernel::assignment_t>;
    void compileStatement(const slang::ast::Statement& s, Program& prog);
    // Where a statement was written, also one slang made nothing of.
    slang::SourceLocation placeOf(const slang::ast::Statement& s) const;
    // What to call code slang made nothing of although the design compiles:
    // the unknown system task or function in it, when there is one.
    static std::string invalidCodePhrase(const slang::syntax::SyntaxNode* syntax,
                                         const std::string& otherwise);
    static std::string invalidCodePhrase(const slang::ast::Expression& e,
                                         const std::string& otherwise);
    void compileTiming(const slang::ast::TimingControl& tc, const slang::ast::Statement& where,
                       Program& prog);
    // The DELAY or WAIT statement of a delay or event control.
    wsim_kernel::assignment_t timingStatement(const slang::ast::TimingControl& tc, int line_ctx);
    // A held list for non-blocking updates that wait on `wait`'s events,
    // with the helper process that hands them over.
    int heldWrites(const wsim_kernel::assignment_t& wait);
    int compileEventList(const slang::ast::TimingControl& tc);
    // A delay: a fixed number of time steps, or an expression whose value
    // when the statement runs counts units of `steps` time steps each.
    struct Delay {
        time_t steps = 0;
        int expr = 0;
    };
    Delay compileDelay(const slang::ast::Expression& e);
    int compileFunction(const slang::ast::SubroutineSymbol& sub);
    // How a call copies an output or inout argument, held in local `slot`,
    // out to its actual when it returns.
    wsim_kernel::call_out argumentCopyOut(const slang::ast::FormalArgumentSymbol& formal,
                                          const slang::ast::Expression& actual, int slot);
    // The one slot a static variable or argument of a task or function
    // keeps for the whole run, holding its declared initial value at first.
    int staticSlot(const slang::ast::VariableSymbol& var);
    // The slot of a static variable or argument of a task or function that
    // code outside it names (count.n); none for any other symbol.
    std::optional<int> subroutineStorage(const slang::ast::Symbol& sym);
    // Gives a static variable (or a port's, or a task's or function's) the
    // initial value it declares: a constant now, anything else once as the
    // run starts, before any process. Throws Unmodelled.
    void initialiseStatic(signal_ref target, const slang::ast::ValueSymbol& var,
                          const slang::ast::Expression& init);

    // ---- System tasks (simulator_display.cpp) ------------------------------
    // A statement for $display, $write, $monitor or $finish; false when
    // `call` is none of them.
    bool compileSystemTask(const slang::ast::CallExpression& call, int line_ctx, Program& prog);

    // ---- Concurrent assertions (simulator_assertions.cpp) -----------------
    // `procedure`: the program of the procedure that holds the assertion,
    // which gets the statement that asks for its attempts; null for an
    // assertion outside procedures, attempted at every tick of its clock.
    void compileAssertion(const slang::ast::ConcurrentAssertionStatement& stmt,
                          Program* procedure);
    // A concurrent assertion compiled, not yet registered.
    struct CompiledProperty {
        std::string label; // as written, or assert_L<line>
        bool labelled = false;
        int line = 0;
        int line_ctx = 0;
        int events = 0;
        int disable = 0;
        int antecedent = 0;
        std::vector<wsim_kernel::prop_step> steps;
        std::vector<int> stable_deps;
        std::string antecedent_name;
        std::string consequent_name;
        std::string holder;
        std::string instance_id;
        bool procedural = false;
    };
    // Gives a compiled assertion its label, its property and the process
    // that judges it at its clock; answers the property's index.
    int registerProperty(const CompiledProperty& compiled);
    // The assertions of a procedure that is kept: those whose ATTEMPT
    // statements are still in its program get registered, the ATTEMPTs
    // pointed at them. Those of code left out never appear.
    void registerReachedProperties(Program& prog);
    // Results are kept by label, so every property gets one of its own: an
    // unlabelled one is named after its line, and a label met again (another
    // instance of its module, or another assertion on the line) takes "_2", "_3"...
    std::string uniqueLabel(const std::string& base, bool written);
    // The labels the design writes on its assertions, before any is built.
    void collectWrittenLabels(const slang::ast::RootSymbol& root);
    // The registry name of the signal an expression is mainly about (what
    // the recorder lists as a property's antecedent or consequent).
    std::string primarySignalName(const slang::ast::Expression& e);
    // A closure answering whether an expression holds.
    int conditionClosure(const slang::ast::Expression& e);

    // ---- Builder state ---------------------------------------------------
    std::map<std::string, int> signal_positions;
    std::map<std::string, int> signal_widths;
    std::map<std::string, operand_t> signal_types;

private:
    friend class ExpressionCompiler;

    // What code being compiled belongs to.
    struct CodeContext {
        std::string process_name;
        std::string instance_path; // empty at the top
        const slang::ast::Scope* scope = nullptr;
        // Task and function arguments and locals: their local slots.
        std::unordered_map<const slang::ast::Symbol*, int> locals;
        // The target standing in for the placeholder of a compound assignment.
        const slang::ast::Expression* compound_target = nullptr;
        // Where `return` jumps to inside a task body: statements to patch.
        std::vector<size_t>* returns = nullptr;
        int function_result = 0;
        int task_depth = 0;
        // Where the outermost task call being inlined began in the program.
        size_t inline_start = 0;
        // While a property's conditions are built: sampled-value functions
        // are allowed, and the stable entries they use are collected.
        bool in_property = false;
        std::vector<int> stable_deps;
        // Every expression compiled for the current process, in order: what
        // an implicit sensitivity list is made of.
        std::vector<int> exprs_used;
        // The task and function variables those expressions name (a task's
        // own, or t.x from outside), in order: the only locals such a list
        // takes, for the others are the storage of calls.
        std::vector<int> locals_named;
        int process_line = 0;
        // The block, task or function being compiled: where a report goes
        // when nothing nearer knows its place.
        slang::SourceLocation origin;
        int function_result_width = 1;
        // The procedure being compiled, and the clock it gives concurrent
        // assertions that name none (found when the first is met; null: none).
        const slang::ast::ProceduralBlockSymbol* procedure = nullptr;
        std::optional<const slang::ast::TimingControl*> inferred_clock;
        std::set<const slang::ast::SubroutineSymbol*> inlining;
        // The procedure's own event control when it gives a clock that the
        // sampled-value functions in its body go by, and that clock.
        const slang::ast::TimedStatement* clocked_body = nullptr;
        wsim_kernel::sample_group clock;
        // While that body is compiled: the stable entries its sampled-value
        // functions use, and how many blocking waits had been compiled when
        // its clock's wait was (a call after another wait has no clock).
        std::vector<int>* sample_group = nullptr;
        size_t sample_waits = 0;
    };

    // The statement whose event control gives the clock of the
    // sampled-value functions the procedure's body calls; null when the
    // body calls none or the event control gives no clock.
    const slang::ast::TimedStatement* clockedBody(const slang::ast::ProceduralBlockSymbol& block,
                                                  wsim_kernel::sample_group& clock);

    // Answers the process's index in the model.
    int addProcess(wsim_kernel::process_t proc, const Program& prog);
    void compileProceduralBlock(const slang::ast::ProceduralBlockSymbol& block);
    // A continuous driver of `target` from compiled expression `expr`.
    void addDriver(int target, int expr, slang::SourceLocation where,
                   const std::string& process_name, time_t delay, int delay_expr = 0);
    void registerPorts(const slang::ast::InstanceSymbol& inst, const std::string& inst_path);
    void registerPort(const slang::ast::InstanceSymbol& inst, const slang::ast::PortSymbol& port,
                      const std::string& inst_path, int line);
    // An output variable port declared with a value starts with it.
    void initialisePort(const slang::ast::PortSymbol& port, signal_ref sig);
    void bindPorts(const slang::ast::InstanceSymbol& inst, const std::string& inst_path);
    std::string signalPathTail(const slang::ast::InstanceSymbol& inst) const;
    // The outside signal a port can simply be another name for: a whole
    // signal of the port's width; null for anything else.
    const slang::ast::ValueSymbol* collapsibleConnection(const slang::ast::InstanceSymbol& inst,
                                                         const slang::ast::PortSymbol& port) const;
    void compileTaskCall(const slang::ast::CallExpression& call, int line_ctx, Program& prog);
    void compileAssignment(const slang::ast::AssignmentExpression& assign, int line_ctx,
                           Program& prog);
    void compileCase(const slang::ast::CaseStatement& c, Program& prog);
    // A CASE statement choosing among `arms` arms: `arm(i, target)` adds the
    // items of arm i, which continue at `target`, to `table` and answers its
    // body; `otherwise` runs when no item matches.
    void compileDispatch(wsim_kernel::case_table& table, slang::SourceLocation where, size_t arms,
                         const std::function<const slang::ast::Statement&(size_t, int)>& arm,
                         const slang::ast::Statement* otherwise, Program& prog);
    // ---- Unique and priority qualifiers (simulator_checks.cpp) -----------
    // The kernel's check for a qualifier of a case statement or if-else-if
    // chain at `where`; 0 for none.
    int qualifierCheck(slang::ast::UniquePriorityCheck check, bool is_if, bool has_default,
                       slang::SourceLocation where);
    // A unique, unique0 or priority if-else-if chain, run as a case whose
    // items are its conditions.
    void compileCheckedIf(const slang::ast::ConditionalStatement& first, Program& prog);
    // An event list of every signal the expressions compiled since
    // `first_expr` read, and of the locals named since `first_local`.
    int sensitivityList(size_t first_expr, size_t first_local, bool through_functions);
    static int integralWidth(const slang::ast::Type& t, slang::SourceLocation where);
    static uint64_t femtoseconds(const slang::TimeScaleValue& v);
    // Takes the bits a continuous driver writes; false (and reported) when
    // another driver or a supply already holds one of them.
    bool claimDriver(int lvalue, slang::SourceLocation where);
    static bool hasDriveStrength(const std::pair<std::optional<slang::ast::DriveStrength>,
                                                 std::optional<slang::ast::DriveStrength>>& strength);
    uint64_t ticksPerUnit(const slang::ast::Scope& scope) const;
    // The instance a scope belongs to, named as its signals are (empty for
    // the first top), and with every component from its top on.
    std::string instancePathOf(const slang::ast::Scope& scope) const;
    std::string fullInstancePathOf(const slang::ast::Scope& scope) const;
    // A hierarchical path without the first top's name; the names under
    // another top keep that top's name first (tb.u.q), so that no two share one.
    std::string nameBelowTop(std::string_view hierarchical_path) const;

    std::vector<std::pair<int, int>> _line_ctx_map_builder;
    std::map<std::string, int> _file_id_map;
    std::map<int, std::string> _file_names;
    // Source file names as the project's file table spells them.
    mutable std::map<std::string, std::string, std::less<>> _project_paths;
    const std::string& projectPathOf(std::string_view given) const;
    const slang::SourceManager* sourceMgr = nullptr;
    std::string _top_module_name;
    std::set<std::string> _registered_instances;
    std::unordered_map<const slang::ast::Symbol*, signal_ref> _signals;
    std::map<std::string, const slang::ast::Symbol*> _signal_owners;
    std::set<const slang::ast::ProceduralBlockSymbol*> _processed_blocks;
    std::set<const slang::ast::PortSymbol*> _collapsed_ports;
    std::unordered_map<const slang::ast::SubroutineSymbol*, int> _functions;
    std::unordered_map<const slang::ast::Symbol*, int> _static_slots;
    std::unordered_map<const slang::ast::ParameterSymbol*, std::optional<uint64_t>>
        _parameter_values;
    std::unordered_map<const slang::ast::ParameterSymbol*, bool> _mistyped_parameters;
    // The design's defparams, found on first need.
    std::optional<DefparamTargets> _defparams;
    const DefparamTargets& defparams(const slang::ast::Scope& any_scope);
    // The expression a parameter's value comes from, and the scope it is written in.
    std::pair<const slang::ast::Expression*, const slang::ast::Scope*>
    valueSource(const slang::ast::ParameterSymbol& param);
    // While a parameter is tried: what it leaves out is not reported.
    bool _reports_muted = false;
    std::set<const slang::ast::SubroutineSymbol*> _compiling_functions;
    std::set<std::string> _property_labels;
    // The assertions of the procedure being compiled, until it is kept or
    // left out; its ATTEMPT statements hold their positions here.
    std::vector<CompiledProperty> _pending_properties;
    std::set<std::string> _written_labels;
    CodeContext _ctx;
    std::vector<NotModelled> _not_modelled;
    std::set<std::tuple<std::string, int, std::string>> _reported;
    // Statements left out so far, reported or not.
    size_t _left_out_count = 0;
    // Blocking timing controls compiled so far.
    size_t _blocking_waits = 0;
    // Calls and statements task inlining has made in the design so far.
    size_t _inlining_work = 0;

    // Bits of each signal (store, position) that a continuous driver writes.
    std::map<std::pair<int, int>, uint64_t> _driven_bits;
    std::set<std::pair<int, int>> _supply_nets;

    // Time base.
    uint64_t _global_precision_fs = 1000000;
    bool _timescales_prepared = false;
};
