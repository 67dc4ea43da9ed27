// The model builder: translates slang's elaborated design into the kernel's
// executable model (signal stores, processes, closures, triggers) and
// registers the design with the timeline recorder.
#pragma once

#include "kernel.h"

#include <slang/ast/ASTVisitor.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace slang {
class SourceManager;
}

enum class WEdgeKind : int { None = 0, PosEdge = 1, NegEdge = 2, AnyEdge = 3 };

// One event of a timing control: the watched signal, in its own store, and
// its edge.
struct TriggerEvent {
    int pos = 0;
    WEdgeKind edge = WEdgeKind::None;
    wsim_kernel::operand_t type = wsim_kernel::operand_t::BIT;
};

// One argument of $display, $write or $monitor.
struct DisplayArg {
    int pos = 0;
    wsim_kernel::operand_t otype = wsim_kernel::operand_t::BIT;
    char spec = 'd';
    bool is_signed = false;
    int width = 1;
    int exp_idx = 0;
    bool is_time = false;
};

// The model the builder fills.
inline wsim_kernel::sim_state& kernel() { return wsim_kernel::sim_state::instance(); }

class SimulatorBuilder
    : public slang::ast::ASTVisitor<SimulatorBuilder, true, true, false, false> {
public:
    using operand_t = wsim_kernel::operand_t;
    using time_t = wsim_kernel::time_t;
    using ProceduralBlockKind = slang::ast::ProceduralBlockKind;

    // Sets a string for the guard's lifetime and puts the old value back.
    struct ScopeGuard {
        std::string& target;
        std::string saved;
        ScopeGuard(std::string& target, std::string new_value);
        ~ScopeGuard();
        ScopeGuard(const ScopeGuard&) = delete;
        ScopeGuard& operator=(const ScopeGuard&) = delete;
    };

    struct TaskDef {
        const slang::ast::SubroutineSymbol* sym = nullptr;
        std::vector<std::string> param_names;
    };

    struct OutputBind {
        std::string parent_sig;
        std::string inst_sig;
        int line = 0;
    };

    struct ResolvedOperand {
        int pos = 0;
        operand_t otype = operand_t::BIT;
        int width = 1;
        bool is_signed = false;
    };

    struct DispTempInfo {
        int exp_idx = 0;
        bool is_signed = false;
    };

    enum class AssertionShape : int { Implication = 0, PureSequence = 1, Simple = 2, Unknown = 3 };

    // Everything a vector assignment's shapes need to build the statement
    // that copies a value into the target.
    struct VectorAssign {
        wsim_kernel::process_t* proc = nullptr;
        std::string lhs_name;
        int lhs_pos = 0;
        operand_t lhs_otype = operand_t::BIT;
        int width = 0;
        uint64_t mask = 0;
        wsim_kernel::assign_t atype = wsim_kernel::assign_t::BA;
        int delay = 0;
        int stmt_line = 0;
        int proc_line = 0;
        int trigger_idx = 0;
        int trig_ack_idx = 0;
        int cond = 0;
        ProceduralBlockKind kind = ProceduralBlockKind::Always;
        int file_id = -1;
        int actual_line = 0;
    };

    explicit SimulatorBuilder(const slang::SourceManager* sourceMgr);

    // ---- Orchestrator interface ------------------------------------------
    void setTopModuleName(const std::string& name);
    void set_file_id_list(const std::map<std::string, int>& file_ids);
    void elaborateInstanceTree(const slang::ast::InstanceSymbol& inst,
                               const std::string& parent_path);
    const std::vector<std::pair<int, int>>& getLineContextMap() const;
    const std::map<int, std::vector<std::string>>& getLineInstanceMap() const;
    std::string exportRegistryJSON() const;

    // ---- Visitor handlers (public: slang finds them with a requires check)
    void handle(const slang::ast::ParameterSymbol& param);
    void handle(const slang::ast::PortSymbol& port);
    void handle(const slang::ast::SubroutineSymbol& sub);
    void handle(const slang::ast::InstanceSymbol& inst);
    void handle(const slang::ast::VariableSymbol& var);
    void handle(const slang::ast::NetSymbol& net);
    void handle(const slang::ast::ContinuousAssignSymbol& ca);
    void handle(const slang::ast::ProceduralBlockSymbol& block);
    void handle(const slang::ast::GenerateBlockSymbol& block);

    // ---- Registry, constants and shared utilities ------------------------
    void registerSignalBits(const std::string& base_name, int width, int line_num, bool is_port,
                            bool is_reg, bool is_signed);
    void registerConstant(const std::string& name, int pos, operand_t type);
    int addLongConstant(const std::string& name, uint64_t val, int line);
    int addBitConstant(const std::string& name, bool val, int line);
    bool isRegistered(const std::string& name) const;
    int getSignalWidth(const std::string& name) const;
    operand_t getSignalType(const std::string& name) const;
    bool getSignalSigned(const std::string& name) const;
    int getLineNumber(slang::SourceLocation loc) const;
    int get_file_id(slang::SourceLocation loc) const;
    static std::string bit_name(const std::string& base, int i);
    static uint64_t svintToUint64(const slang::SVInt& value);
    static uint64_t readVecSignal(int pos, operand_t otype);
    static int64_t readVecSignalSigned(int pos, operand_t otype, int width);
    static uint64_t widthMask(int width);
    static operand_t storeForWidth(int width);
    // A closure answering the least significant bit of a signal of any store.
    static wsim_kernel::exp_t lsbReader(int pos, operand_t type);
    ScopeGuard scopeGuard(std::string new_val);
    void makeCAProcess(int file_id, int line, const std::string& name, int target_pos, int rhs_pos,
                       int exp_pos, operand_t ltype, operand_t rtype);
    int makeCAProcessWithExp(int file_id, int line, const std::string& name, int target_pos,
                             wsim_kernel::exp_t fn, operand_t ltype, operand_t rtype,
                             bool exp_writes_lhs);

    // Appends a (file id, line) pair to the line-context table; answers its index.
    int addLineContext(int file_id, int line);
    // Appends a procedural statement and answers the stored copy. A trigger
    // pair that an earlier statement already owns is rebuilt from its events,
    // so every statement has its own consumption slot.
    wsim_kernel::assignment_t& addProceduralStatement(wsim_kernel::process_t& proc,
                                                      const wsim_kernel::assignment_t& stmt);
    // Hands a finished process to the kernel, first telling the recorder the
    // instance of every statement that has one (the kernel's copy drops it).
    void commitProcess(wsim_kernel::process_t& proc);
    // A hidden LONG signal (left out of the registry JSON, not recorded);
    // `created` tells whether it is new.
    int createLongTemporary(const std::string& name, int width, int line, bool& created);
    // A hidden 1-bit signal, likewise.
    int createBitTemporary(const std::string& name, int line, bool& created);

    // ---- Signal-name resolution ------------------------------------------
    std::string extractSignalName(const slang::ast::Expression& expr);
    std::string hierarchicalName(const slang::ast::Symbol& symbol) const;
    std::string resolveSignalName(const std::string& name) const;
    // resolveSignalName(extractSignalName(e)).
    std::string resolveOperandName(const slang::ast::Expression& expr);
    // Whether the expression (conversions and $signed/$unsigned removed)
    // names a whole signal rather than an operation on one.
    static bool isSignalReference(const slang::ast::Expression& expr);
    // The value of an integer literal; nullopt for anything else or a value
    // that does not fit 64 bits.
    static std::optional<uint64_t> literalValue(const slang::ast::Expression& expr);
    // A literal's value, else the expression evaluated as a constant in the
    // scope of `context` (a symbol of the design); nullopt when neither works.
    static std::optional<uint64_t> evalConstant(const slang::ast::Expression& expr,
                                                const slang::ast::Symbol* context);

    // ---- Triggers and timing controls ------------------------------------
    static WEdgeKind toWEdge(slang::ast::EdgeKind edge);
    std::pair<int, int> buildTrigger(int sig_pos, WEdgeKind edge,
                                     operand_t type = operand_t::BIT);
    std::pair<int, int> buildTriggerFromList(const std::vector<TriggerEvent>& events);
    std::pair<int, int> buildFreshTrigger();
    int extractDelay(const slang::ast::TimingControl& tc);
    TriggerEvent extractTriggerInfo(const slang::ast::TimingControl& tc);
    std::vector<TriggerEvent> extractEventList(const slang::ast::TimingControl& tc);
    void storeTimingControl(const slang::ast::TimingControl& tc);

    // ---- Procedural statement walkers and task inlining ------------------
    bool processStatement(const slang::ast::Statement& stmt, wsim_kernel::process_t& proc,
                          ProceduralBlockKind kind, int proc_line);
    bool processStatementWithTrigger(const slang::ast::Statement& stmt,
                                     wsim_kernel::process_t& proc, ProceduralBlockKind kind,
                                     int delay, int proc_line, int trigger_idx, int trig_ack_idx,
                                     int cond, int trigger_sig_pos, WEdgeKind trigger_edge);
    bool processStatementWithAbsoluteTime(const slang::ast::Statement& stmt,
                                          wsim_kernel::process_t& proc, ProceduralBlockKind kind,
                                          time_t& cursor_time, int proc_line, int trigger_idx,
                                          int trig_ack_idx, int cond);
    bool processAssignmentAbsolute(const slang::ast::AssignmentExpression& expr,
                                   wsim_kernel::process_t& proc, time_t cursor_time,
                                   int stmt_line, int proc_line, int cond,
                                   ProceduralBlockKind kind);
    bool inlineTaskCall(const slang::ast::CallExpression& call, const TaskDef& def,
                        wsim_kernel::process_t& proc, ProceduralBlockKind kind, int delay,
                        int stmt_line, int proc_line, int trigger_idx, int trig_ack_idx,
                        int cond);
    bool inlineTaskCallAbsolute(const slang::ast::CallExpression& call, const TaskDef& def,
                                wsim_kernel::process_t& proc, ProceduralBlockKind kind,
                                time_t& cursor_time, int stmt_line, int proc_line, int cond);
    // Makes the statements of `proc` from index `first` on fire once, on the
    // first occurrence of their event.
    void waitOnceForEvent(wsim_kernel::process_t& proc, int first);
    // The registered caller-side name of a task argument; empty for anything
    // but a signal.
    std::string taskArgumentName(const slang::ast::Expression& arg);
    // Aliases each task parameter to its caller-side name under the call's
    // scope, walks the body, and removes the aliases again.
    bool inlineTaskBody(const TaskDef& def, int stmt_line,
                        const std::vector<std::pair<std::string, std::string>>& binds,
                        const std::function<bool()>& walk_body);

    // ---- Procedural assignments ------------------------------------------
    // How a right-hand side reaches a 1-bit target: a source bit (through an
    // op closure when `exp_idx` is set), or an expression closure alone.
    struct ScalarSource {
        bool ok = false;
        int rhs_pos = 0;
        int exp_idx = 0;
    };
    // The registered name an assignment writes (a bit select names its vector).
    std::string assignmentTargetName(const slang::ast::Expression& left);
    ScalarSource scalarSource(const slang::ast::Expression& rhs, const std::string& lhs_name,
                              int stmt_line, int file_id);
    // `v[i] = x` with a constant i: writes bit i of v alone.
    bool bitOfVectorAssignment(const slang::ast::AssignmentExpression& assign,
                               wsim_kernel::process_t& proc, const std::string& lhs_name,
                               int delay, int stmt_line, int proc_line, int trigger_idx,
                               int trig_ack_idx, int cond, ProceduralBlockKind kind);
    bool processAssignment(const slang::ast::AssignmentExpression& assign,
                           wsim_kernel::process_t& proc, int delay, int stmt_line, int proc_line,
                           int trigger_idx, int trig_ack_idx, int cond, ProceduralBlockKind kind);
    bool processVectorAssignment(const slang::ast::AssignmentExpression& assign,
                                 wsim_kernel::process_t& proc, const std::string& lhs_name,
                                 int width, int delay, int stmt_line, int proc_line,
                                 int trigger_idx, int trig_ack_idx, int cond,
                                 ProceduralBlockKind kind, time_t cursor_time);
    // The statement that copies (rhs_pos, rhs_type) into a vector target.
    bool emitVec(const VectorAssign& va, int rhs_pos, operand_t rhs_type);
    // The shapes of a vector right-hand side (conversions already removed).
    bool vectorAssignment(const slang::ast::Expression& rhs, const VectorAssign& va);
    bool rangeSelectShape(const slang::ast::RangeSelectExpression& select,
                          const VectorAssign& va);
    bool elementSelectShape(const slang::ast::ElementSelectExpression& select,
                            const VectorAssign& va);
    bool concatenationShape(const slang::ast::ConcatenationExpression& concat,
                            const VectorAssign& va);
    bool replicationShape(const slang::ast::ReplicationExpression& repl, const VectorAssign& va);
    bool conditionalShape(const slang::ast::ConditionalExpression& cond_expr,
                          const VectorAssign& va);
    // A registered whole signal named by `e`.
    bool signalOperand(const slang::ast::Expression& e, std::string& name, int& pos,
                       operand_t& type, int& width);
    // A hidden LONG signal of `width` bits kept equal to compute() by a
    // continuous driver (made once per name).
    int drivenTemporary(const std::string& name, int width, int line, int file_id,
                        std::function<uint64_t()> compute);
    // A closure writing compute() into a signal of any store; answers whether
    // the signal changed.
    static wsim_kernel::exp_t vectorWriter(int pos, operand_t type,
                                           std::function<uint64_t()> compute);
    // `count` copies of a `width`-bit value side by side.
    static uint64_t replicate(uint64_t v, uint64_t count, int width);

    // ---- Binary operators and function calls on the right of vectors -----
    // (entered through processVectorBinaryOp and processVectorCall, below)
    // The temporary for one right-hand side, told apart by `identity`: `base`
    // when it is free or already holds that right-hand side, else `base`
    // with "_2", "_3", ... appended.
    std::string temporaryNameFor(const std::string& base, const std::string& identity);

    // ---- Continuous and net assignments ----------------------------------
    void processContinuousAssignExpr(const slang::ast::AssignmentExpression& assign, int line);
    void handleNetCA(const std::string& lhs_name, int lhs_pos, int line_num,
                     const slang::ast::Expression& rhs);
    // The driver shapes of a target of two or more bits; `assign` is null for
    // a net initialiser.
    void continuousVector(const std::string& lhs, const slang::ast::Expression& rhs, int line,
                          int file_id, const slang::ast::AssignmentExpression* assign);
    bool concatenationDriver(const std::string& lhs,
                             const slang::ast::ConcatenationExpression& concat, int line,
                             int file_id);
    // The driver shapes of a 1-bit target.
    void continuousScalar(const std::string& lhs, const slang::ast::Expression& rhs, int line,
                          int file_id, bool net_initialiser);
    // A driver process of exactly that name with one CA statement.
    void makeNamedCAProcess(const std::string& process_name, int file_id, int line,
                            int target_pos, int rhs_pos, int exp_pos, operand_t ltype,
                            operand_t rtype);

    // ---- Scalar operands, reductions and comparisons ---------------------
    int resolveScalarOperand(const slang::ast::Expression& e, int file_id, int line);
    // The derived bit holding `op` applied to a signal (negation, reduction).
    int invertedOperand(slang::ast::UnaryOperator op, const std::string& name, int src,
                        operand_t type, int file_id, int line);
    // The store resolveScalarOperand's position refers to.
    operand_t scalarOperandType(const slang::ast::Expression& e);
    bool resolveOperandForCond(const slang::ast::Expression& expr, int stmt_line,
                               ResolvedOperand& out);
    std::function<bool()> buildReductionExp(slang::ast::UnaryOperator op, int src_pos,
                                            int src_width, operand_t src_type);
    template <typename LRead, typename RRead>
    bool buildComparisonLambdas(slang::ast::BinaryOperator op, int& true_lambda,
                                int& false_lambda, LRead lread, RRead rread);

    // ---- Condition closures ----------------------------------------------
    bool buildConditionLambdas(const slang::ast::Expression* expr, int stmt_line,
                               int& true_lambda, int& false_lambda);
    // The shapes of a condition; each registers its pair into (t, f).
    bool sampledValueCondition(const slang::ast::CallExpression& call, int& t, int& f);
    bool signalCondition(const slang::ast::Expression& e, int& t, int& f);
    bool unaryCondition(const slang::ast::UnaryExpression& unary, int stmt_line, int& t, int& f);
    bool binaryCondition(const slang::ast::BinaryExpression& bin, int stmt_line, int& t, int& f);
    bool sliceComparison(slang::ast::BinaryOperator op,
                         const slang::ast::RangeSelectExpression& select,
                         const slang::ast::Expression& right, int& t, int& f);
    bool scalarComparison(slang::ast::BinaryOperator op, const std::string& left_name,
                          const slang::ast::Expression& right, int stmt_line, int& t, int& f);
    bool vectorComparison(slang::ast::BinaryOperator op, const slang::ast::BinaryExpression& bin,
                          const std::string& left_name, int stmt_line, int& t, int& f);

    // ---- Instance tree and port binds ------------------------------------
    void elaborateModuleInstance(const slang::ast::InstanceSymbol& instance,
                                 const std::string& parent_path);
    void elaborateModuleInstanceInputBind(const slang::ast::InstanceSymbol& instance,
                                          const std::string& inst_path);
    void applyTimescale(const slang::ast::InstanceSymbol& topInst);
    // A continuous copy of `source` into `target` (both registered).
    void makeBindProcess(const std::string& process_name, const std::string& target,
                         const std::string& source, int file_id, int line,
                         const std::string& instance_id);
    static uint64_t timeScaleUnitToPs(slang::TimeUnit unit, int magnitude);

    // ---- If/case, system tasks, assertions, operators and calls -----------
    bool processConditional(const slang::ast::ConditionalStatement& condStmt,
                            wsim_kernel::process_t& proc, ProceduralBlockKind kind, int delay,
                            int stmt_line, int proc_line, int trigger_idx, int trig_ack_idx,
                            int trigger_sig_pos, WEdgeKind trigger_edge, int outer_cond);
    bool processConditionalAbsolute(const slang::ast::ConditionalStatement& condStmt,
                                    wsim_kernel::process_t& proc, ProceduralBlockKind kind,
                                    time_t& cursor_time, int stmt_line, int proc_line, int cond);
    bool processCaseStatement(const slang::ast::CaseStatement& caseStmt,
                              wsim_kernel::process_t& proc, ProceduralBlockKind kind, int delay,
                              int stmt_line, int proc_line, int trigger_idx, int trig_ack_idx,
                              int trigger_sig_pos, WEdgeKind trigger_edge, int cond);
    bool handleDisplay(const slang::ast::CallExpression& call, int delay,
                       wsim_kernel::process_t& proc, int stmt_line, int proc_line, int cond,
                       int trigger_idx, int trig_ack_idx);
    bool handleMonitor(const slang::ast::CallExpression& call, int delay,
                       wsim_kernel::process_t& proc, int stmt_line, int proc_line, int cond,
                       int trigger_idx, int trig_ack_idx);
    bool handleFinish(int delay, wsim_kernel::process_t& proc, int file_id, int stmt_line,
                      int proc_line, int cond, int trigger_idx, int trig_ack_idx);
    bool handleDisplayAbsolute(const slang::ast::CallExpression& call, time_t cursor_time,
                               wsim_kernel::process_t& proc, int stmt_line, int proc_line,
                               int cond);
    bool handleMonitorAbsolute(const slang::ast::CallExpression& call, time_t cursor_time,
                               wsim_kernel::process_t& proc, int stmt_line, int proc_line,
                               int cond);
    bool handleFinishAbsolute(time_t cursor_time, wsim_kernel::process_t& proc, int file_id,
                              int stmt_line, int proc_line, int cond);
    bool processAssertProperty(const slang::ast::ConcurrentAssertionStatement& apStmt,
                               wsim_kernel::process_t& proc, ProceduralBlockKind kind, int delay,
                               int stmt_line, int proc_line, int trigger_idx, int trig_ack_idx,
                               int trigger_sig_pos, WEdgeKind trigger_edge,
                               const std::string& user_label);
    // `l op r` on the right of a vector assignment.
    bool processVectorBinaryOp(const slang::ast::BinaryExpression& bin, const VectorAssign& va);
    // A user function call on the right of a vector assignment.
    bool processVectorCall(const slang::ast::CallExpression& call, const VectorAssign& va);

    // ---- Concurrent assertions (simulator_assertions.cpp) ----------------
    // The expression of a plain `Simple` assertion expression; null otherwise.
    static const slang::ast::Expression*
    extractExprFromAssertionExpr(const slang::ast::AssertionExpr& ae);
    static AssertionShape extractImplicationSides(const slang::ast::AssertionExpr& ae,
                                                  const slang::ast::AssertionExpr*& antecedent,
                                                  const slang::ast::AssertionExpr*& consequent,
                                                  int& sequence_delay);
    std::pair<int, int> extractClockFromAssertionExpr(const slang::ast::AssertionExpr& ae);
    bool buildSequenceSteps(const slang::ast::AssertionExpr& ae,
                            std::vector<wsim_kernel::prop_step>& steps_out, int stmt_line);
    // Where an assertion's property statement goes, and what guards it.
    struct AssertionSite {
        wsim_kernel::process_t* proc = nullptr;
        const slang::ast::ConcurrentAssertionStatement* stmt = nullptr;
        std::string user_label;
        int delay = 0;
        int stmt_line = 0;
        int proc_line = 0;
        int file_id = -1;
        int trigger_idx = 0;
        int trig_ack_idx = 0;
        int disable_exp = 0;
    };
    // The user label, else the statement's label, else one made from the line.
    std::string assertionLabel(const AssertionSite& site);
    bool addSequenceProperty(const AssertionSite& site, const slang::ast::AssertionExpr& sequence);
    bool addImplicationProperty(const AssertionSite& site,
                                const slang::ast::AssertionExpr* antecedent,
                                const slang::ast::AssertionExpr& consequent, int sequence_delay);
    void emitPropertyStatement(const AssertionSite& site, int prop_idx, int source,
                               int expression);
    // How many unlabelled assertions were named after each line.
    std::map<int, int> _unlabelled_assertions_by_line;
    // ---- End of concurrent assertions -------------------------------------

    // ---- System tasks and the display formatter (simulator_display.cpp) ---
    // One record per argument after the format string, in order; an argument
    // that cannot be resolved keeps its place with position 0.
    std::vector<DisplayArg> resolveDisplayArgs(std::span<const slang::ast::Expression* const> args,
                                               int stmt_line, bool allow_time);
    static void scanFormatSpecs(const std::string& fmt, std::vector<DisplayArg>& args);
    // The closure that formats and prints one $display, $write or $monitor
    // line; `scope_path` is what %m prints.
    static std::function<bool()> buildFormatterFn(std::string fmt, std::vector<DisplayArg> args,
                                                  bool is_monitor, bool is_display_newline,
                                                  int time_sig_pos, std::string scope_path);
    // A hidden LONG signal kept equal to `bin` (+, - or *); 0 when its
    // operands are not signals and literals.
    int buildArithTempForDisplay(const slang::ast::BinaryExpression& bin, int stmt_line,
                                 int arg_index);
    // Argument `arg_index` of a display call.
    DisplayArg resolveDisplayArg(const slang::ast::Expression& arg, int stmt_line, int arg_index,
                                 bool allow_time);
    // "__monitor_time_" + line, created on first use.
    int displayTimeSignal(int stmt_line);
    // Registers the formatter of a display or monitor call and answers its
    // index, with the resolved arguments in `args`; 0 when the call has
    // arguments but no string literal first.
    int addDisplayFormatter(const slang::ast::CallExpression& call, int stmt_line,
                            bool is_monitor, std::vector<DisplayArg>& args);
    // What a display temporary computes: its expression over the signals at
    // these positions (a task body inlined twice has one expression).
    using DispTempSource = std::tuple<const slang::ast::Expression*, int, int>;
    // `base`, or base + "_" + n when another computation already owns `base`.
    std::string displayTempName(const std::string& base, const DispTempSource& source);
    void addSystemTaskStatement(wsim_kernel::process_t& proc, wsim_kernel::assign_t type,
                                int delay, int file_id, int stmt_line, int sf_idx, int formatter,
                                int proc_line, int cond, int trigger_idx, int trig_ack_idx);
    std::map<std::string, DispTempSource> _disp_temp_sources;
    // ---- End of system tasks ----------------------------------------------

    // ---- Builder state ---------------------------------------------------
    std::map<std::string, int> signal_positions;
    std::map<std::string, int> signal_widths;
    std::map<std::string, operand_t> signal_types;
    std::map<int, std::vector<std::string>> _line_instance_map_builder;
    std::vector<std::pair<int, int>> _line_ctx_map_builder;
    std::map<std::string, int> _file_id_map;
    std::map<int, DispTempInfo> _disp_temp_exp;
    const slang::SourceManager* sourceMgr = nullptr;
    std::set<std::string> created_assigns;
    std::set<const slang::ast::ProceduralBlockSymbol*> processed_blocks;
    std::map<int, std::string> assert_labels_by_line;
    std::set<std::string> internal_constants;
    std::vector<TriggerEvent> stored_event_list;
    int stored_sig_pos = 0;
    WEdgeKind stored_edge = WEdgeKind::None;
    operand_t stored_sig_type = operand_t::BIT;
    std::vector<int> _pending_stable_deps;
    // While a concurrent assertion's closures are built: sampled-value
    // functions then judge by the property's clock ticks.
    bool _building_property = false;
    std::string _current_scope_prefix;
    // The target of the compound assignment (`a += b`) being translated: what
    // the placeholder for it on the right side names.
    std::string _compound_target;
    std::string _top_module_name;
    std::set<std::string> _registered_instances;
    std::map<std::string, bool> signal_signed;
    std::vector<OutputBind> pending_output_binds;
    std::map<std::string, TaskDef> _task_defs;

    // The events each built trigger watches, and the triggers a statement
    // already owns (see addProceduralStatement).
    std::map<int, std::vector<TriggerEvent>> _trigger_events;
    std::set<int> _claimed_triggers;
};

template <typename LRead, typename RRead>
bool SimulatorBuilder::buildComparisonLambdas(slang::ast::BinaryOperator op, int& true_lambda,
                                              int& false_lambda, LRead lread, RRead rread) {
    using slang::ast::BinaryOperator;
    auto& state = wsim_kernel::sim_state::instance();
    auto add_pair = [&](auto holds) {
        true_lambda = state.add_exp([=] { return holds(lread(), rread()); });
        false_lambda = state.add_exp([=] { return !holds(lread(), rread()); });
        return true;
    };
    switch (op) {
    case BinaryOperator::Equality:
    case BinaryOperator::CaseEquality:
        return add_pair([](auto l, auto r) { return l == r; });
    case BinaryOperator::Inequality:
    case BinaryOperator::CaseInequality:
        return add_pair([](auto l, auto r) { return l != r; });
    case BinaryOperator::GreaterThan:
        return add_pair([](auto l, auto r) { return l > r; });
    case BinaryOperator::GreaterThanEqual:
        return add_pair([](auto l, auto r) { return l >= r; });
    case BinaryOperator::LessThan:
        return add_pair([](auto l, auto r) { return l < r; });
    case BinaryOperator::LessThanEqual:
        return add_pair([](auto l, auto r) { return l <= r; });
    default:
        return false;
    }
}
