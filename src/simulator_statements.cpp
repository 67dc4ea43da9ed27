// Statements: procedural code becomes a program of kernel statements with
// explicit jumps; timing controls become waits; tasks are inlined, an
// automatic task with storage of its own at each call; functions become
// bodies the kernel runs inside expressions.
#include "simulator.h"

#include <slang/ast/EvalContext.h>
#include <slang/syntax/AllSyntax.h>
#include <slang/text/SourceManager.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

using namespace slang::ast;
using wsim_kernel::assign_t;
using wsim_kernel::assignment_t;
using wsim_kernel::sim_state;
using operand_t = wsim_kernel::operand_t;

namespace {

constexpr int max_task_nesting = 64;
// Every call inlines the task's body, so tasks that call others more than
// once grow exponentially with their depth: once inlining has made this many
// calls and statements in the design, a call is left out.
constexpr size_t max_inlining_work = 200000;

const char* loopPhrase(StatementKind kind) {
    switch (kind) {
    case StatementKind::ForLoop: return "for loop";
    case StatementKind::RepeatLoop: return "repeat loop";
    case StatementKind::ForeachLoop: return "foreach loop";
    case StatementKind::WhileLoop: return "while loop";
    case StatementKind::DoWhileLoop: return "do-while loop";
    case StatementKind::ForeverLoop: return "forever loop";
    case StatementKind::Wait: return "wait statement";
    case StatementKind::WaitFork: return "wait fork statement";
    case StatementKind::WaitOrder: return "wait_order statement";
    case StatementKind::DisableFork:
    case StatementKind::Disable: return "disable statement";
    case StatementKind::EventTrigger: return "event trigger";
    case StatementKind::ProceduralAssign: return "procedural assign or force";
    case StatementKind::ProceduralDeassign: return "procedural deassign or release";
    case StatementKind::Break: return "break statement";
    case StatementKind::Continue: return "continue statement";
    case StatementKind::ImmediateAssertion: return "immediate assertion";
    case StatementKind::RandCase: return "randcase statement";
    case StatementKind::RandSequence: return "randsequence statement";
    case StatementKind::PatternCase: return "case matches statement";
    case StatementKind::ProceduralChecker: return "checker instance";
    default: return "statement";
    }
}

// A target that is one local slot of `width` bits.
int localLValue(int slot, int width) {
    wsim_kernel::lvalue_t lv;
    lv.width = width;
    lv.parts.push_back({{operand_t::LOCAL, slot}, width, width});
    return sim_state::instance().add_lvalue(std::move(lv));
}

// An expression reading one local slot of `width` bits.
int localLoad(int slot, int width) {
    wsim_kernel::expr_t load;
    load.code.push_back({wsim_kernel::xop::LOAD, 64, 64, 0, operand_t::LOCAL, slot, 0});
    load.width = width;
    return sim_state::instance().add_expr(std::move(load));
}

// Whether a statement calls a sampled-value function, and the symbols it
// names.
struct BodyScan : public ASTVisitor<BodyScan, true, true> {
    bool samples = false;
    std::set<const Symbol*> named;
    void handle(const CallExpression& c) {
        if (c.isSystemCall() && isSampledValueFunction(c.getSubroutineName()))
            samples = true;
        visitDefault(c);
    }
    void handle(const NamedValueExpression& e) { named.insert(&e.symbol); }
};

wsim_kernel::edge_t edgeOf(EdgeKind edge) {
    switch (edge) {
    case EdgeKind::PosEdge: return wsim_kernel::edge_t::POS;
    case EdgeKind::NegEdge: return wsim_kernel::edge_t::NEG;
    case EdgeKind::BothEdges: return wsim_kernel::edge_t::BOTH;
    case EdgeKind::None: break;
    }
    return wsim_kernel::edge_t::ANY;
}

// Every variable declared in a subroutine, its nested blocks included.
void collectVariables(const Scope& scope, std::vector<const VariableSymbol*>& out) {
    for (const Symbol& m : scope.members()) {
        if (m.kind == SymbolKind::Variable)
            out.push_back(&m.as<VariableSymbol>());
        else if (m.kind == SymbolKind::StatementBlock)
            collectVariables(m.as<StatementBlockSymbol>(), out);
    }
}

} // namespace

void SimulatorBuilder::compileStatement(const Statement& s, Program& prog) {
    const size_t start = prog.size();
    try {
        const slang::SourceLocation where = s.sourceRange.start();
        auto stmt = [&](assign_t type) {
            return assignment_t(type, addLineContext(where));
        };
        switch (s.kind) {
        case StatementKind::Empty: return;
        case StatementKind::List:
            for (const Statement* item : s.as<StatementList>().list)
                compileStatement(*item, prog);
            return;
        case StatementKind::Block: {
            const auto& block = s.as<BlockStatement>();
            // A fork's range starts at its first statement; its keyword is
            // where the user wrote it.
            if (block.blockKind != StatementBlockKind::Sequential)
                unmodelled("fork/join", s.syntax ? s.syntax->getFirstToken().location() : where);
            compileStatement(block.body, prog);
            return;
        }
        case StatementKind::VariableDeclaration: {
            // Automatic locals of a task or function and automatic variables
            // of a block start afresh each time the declaration is reached; a
            // static variable got its initial value once, at time 0.
            const auto& var = s.as<VariableDeclStatement>().symbol;
            if (var.lifetime == VariableLifetime::Static)
                return;
            auto it = _ctx.locals.find(&var);
            wsim_kernel::lvalue_t lv;
            if (it != _ctx.locals.end()) {
                lv.width = integralWidth(var.getType(), where);
                lv.parts.push_back({{operand_t::LOCAL, it->second}, lv.width, lv.width});
            } else if (var.getType().isIntegral()) {
                lv.width = integralWidth(var.getType(), where);
                lv.parts.push_back({signalOf(var), lv.width, lv.width});
            } else {
                return;
            }
            assignment_t init = stmt(assign_t::BA);
            init.lhs = sim_state::instance().add_lvalue(lv);
            if (const Expression* value = var.getInitializer())
                init.expr = compileConverted(*value, var.getType());
            prog.push_back(init);
            return;
        }
        case StatementKind::ExpressionStatement: {
            const Expression& e = s.as<ExpressionStatement>().expr;
            if (e.kind == ExpressionKind::Assignment) {
                compileAssignment(e.as<AssignmentExpression>(), addLineContext(where), prog);
                return;
            }
            if (e.kind == ExpressionKind::Call) {
                const auto& call = e.as<CallExpression>();
                if (call.isSystemCall()) {
                    if (!compileSystemTask(call, addLineContext(where), prog))
                        unmodelled(builtInCallPhrase(call.getSubroutineName()), where);
                    return;
                }
                const SubroutineSymbol* sub = std::get<const SubroutineSymbol*>(call.subroutine);
                if (sub->subroutineKind == SubroutineKind::Task) {
                    compileTaskCall(call, addLineContext(where), prog);
                    return;
                }
                // A function called for what it does: its result is dropped.
                assignment_t eval = stmt(assign_t::BA);
                eval.expr = compileExpression(e);
                prog.push_back(eval);
                return;
            }
            if (e.kind == ExpressionKind::Conversion && e.type->isVoid() &&
                e.as<ConversionExpression>().operand().kind == ExpressionKind::Call) {
                // void'(f(...)): a function called for what it does.
                assignment_t eval = stmt(assign_t::BA);
                eval.expr = compileExpression(e);
                prog.push_back(eval);
                return;
            }
            if (e.kind == ExpressionKind::UnaryOp) {
                const UnaryOperator op = e.as<UnaryExpression>().op;
                if (op == UnaryOperator::Preincrement || op == UnaryOperator::Postincrement)
                    unmodelled("increment operator", where);
                if (op == UnaryOperator::Predecrement || op == UnaryOperator::Postdecrement)
                    unmodelled("decrement operator", where);
            }
            if (e.kind == ExpressionKind::Invalid)
                unmodelled(invalidCodePhrase(e.syntax, "expression statement"), where);
            unmodelled("expression statement", where);
        }
        case StatementKind::Conditional: {
            const auto& c = s.as<ConditionalStatement>();
            if (c.check != UniquePriorityCheck::None) {
                compileCheckedIf(c, prog);
                return;
            }
            if (c.conditions.size() != 1 || c.conditions[0].pattern)
                unmodelled("if with a pattern", where);
            assignment_t branch = stmt(assign_t::BRANCH);
            branch.expr = compileExpression(*c.conditions[0].expr);
            const size_t at = prog.size();
            prog.push_back(branch);
            compileStatement(c.ifTrue, prog);
            if (c.ifFalse) {
                const size_t jump = prog.size();
                prog.push_back(stmt(assign_t::JUMP));
                prog[at].target = static_cast<int>(prog.size());
                compileStatement(*c.ifFalse, prog);
                prog[jump].target = static_cast<int>(prog.size());
            } else {
                prog[at].target = static_cast<int>(prog.size());
            }
            return;
        }
        case StatementKind::Case: compileCase(s.as<CaseStatement>(), prog); return;
        case StatementKind::Timed: {
            const auto& timed = s.as<TimedStatement>();
            if (timed.timing.kind == TimingControlKind::ImplicitEvent) {
                // @* waits on what the statement reads.
                ++_blocking_waits;
                const size_t wait_at = prog.size();
                prog.push_back(stmt(assign_t::WAIT));
                const size_t first_expr = _ctx.exprs_used.size();
                const size_t first_local = _ctx.locals_named.size();
                compileStatement(timed.stmt, prog);
                prog[wait_at].events = sensitivityList(first_expr, first_local, false);
                return;
            }
            compileTiming(timed.timing, s, prog);
            if (&timed == _ctx.clocked_body) {
                // Each tick of the clock samples what the body's
                // sampled-value functions compare.
                wsim_kernel::sample_group group = _ctx.clock;
                const size_t at = prog.size();
                prog.push_back(stmt(assign_t::SAMPLE));
                Restore<std::vector<int>*> keep_group(_ctx.sample_group);
                Restore<size_t> keep_waits(_ctx.sample_waits);
                _ctx.sample_group = &group.entries;
                _ctx.sample_waits = _blocking_waits;
                compileStatement(timed.stmt, prog);
                prog[at].table = sim_state::instance().add_sample_group(std::move(group));
                return;
            }
            compileStatement(timed.stmt, prog);
            return;
        }
        case StatementKind::ConcurrentAssertion:
            compileAssertion(s.as<ConcurrentAssertionStatement>(),
                             _ctx.procedure ? &prog : nullptr);
            return;
        case StatementKind::Return: {
            const auto& ret = s.as<ReturnStatement>();
            if (!_ctx.returns)
                unmodelled("return statement", where);
            if (ret.expr && _ctx.function_result != 0) {
                assignment_t result = stmt(assign_t::BA);
                result.lhs = localLValue(_ctx.function_result, _ctx.function_result_width);
                result.expr = compileExpression(*ret.expr);
                prog.push_back(result);
            }
            _ctx.returns->push_back(prog.size());
            prog.push_back(stmt(assign_t::JUMP));
            return;
        }
        case StatementKind::Invalid:
            // slang marks a whole block bad for one bad statement in it:
            // only what is bad itself is left out.
            if (const Statement* child = s.as<InvalidStatement>().child) {
                compileStatement(*child, prog);
                return;
            }
            unmodelled(invalidCodePhrase(s.syntax, "statement"), placeOf(s));
        default: unmodelled(loopPhrase(s.kind), where);
        }
    } catch (const Unmodelled& u) {
        prog.resize(start);
        ++_left_out_count;
        reportNotModelled(u.where.valid() ? u.where : placeOf(s), u.construct);
    }
}

slang::SourceLocation SimulatorBuilder::placeOf(const Statement& s) const {
    if (s.sourceRange.start().valid())
        return s.sourceRange.start();
    if (s.syntax && s.syntax->getFirstToken().location().valid())
        return s.syntax->getFirstToken().location();
    if (s.kind == StatementKind::Invalid && s.as<InvalidStatement>().child)
        return placeOf(*s.as<InvalidStatement>().child);
    return _ctx.origin;
}

std::string SimulatorBuilder::invalidCodePhrase(const Expression& e, const std::string& otherwise) {
    return invalidCodePhrase(e.syntax, otherwise);
}

std::string SimulatorBuilder::invalidCodePhrase(const slang::syntax::SyntaxNode* syntax,
                                                const std::string& otherwise) {
    std::vector<const slang::syntax::SyntaxNode*> pending;
    if (syntax)
        pending.push_back(syntax);
    while (!pending.empty()) {
        const slang::syntax::SyntaxNode* node = pending.back();
        pending.pop_back();
        for (size_t i = node->getChildCount(); i-- > 0;) {
            if (const slang::syntax::SyntaxNode* child = node->childNode(i)) {
                pending.push_back(child);
                continue;
            }
            const slang::parsing::Token token = node->childToken(i);
            if (token.kind == slang::parsing::TokenKind::SystemIdentifier &&
                token.systemName() == slang::parsing::KnownSystemName::Unknown)
                return "system task " + std::string(token.valueText());
        }
    }
    return otherwise;
}

int SimulatorBuilder::integralWidth(const Type& t, slang::SourceLocation where) {
    if (!t.isIntegral())
        unmodelled(t.isFloating() ? "real value" : "non-integral value", where);
    const int width = static_cast<int>(t.getBitWidth());
    if (width > 64)
        unmodelled("vector wider than 64 bits", where);
    return std::max(width, 1);
}

void SimulatorBuilder::compileCase(const CaseStatement& c, Program& prog) {
    const slang::SourceLocation where = c.sourceRange.start();
    const bool wildcard = c.condition != CaseStatementCondition::Normal;
    wsim_kernel::case_table table;
    table.selector = compileExpression(c.expr);
    table.check = qualifierCheck(c.check, false, c.defaultCase != nullptr, where);
    auto arm = [&](size_t i, int target) -> const Statement& {
        const auto& group = c.items[i];
        for (const Expression* item : group.expressions) {
            wsim_kernel::case_item entry;
            entry.target = target;
            const Expression& literal = item->unwrapImplicitConversions();
            if (literal.kind == ExpressionKind::ValueRange) {
                const auto& range = literal.as<ValueRangeExpression>();
                if (range.rangeKind != ValueRangeKind::Simple)
                    unmodelled("value range with a tolerance", literal.sourceRange.start());
                // slang gives both bounds the type the selector is compared in.
                entry.expr = compileExpression(range.left());
                entry.hi = compileExpression(range.right());
                entry.width = integralWidth(*range.left().type, literal.sourceRange.start());
                entry.is_signed = range.left().type->isSigned();
            } else if (literal.kind == ExpressionKind::IntegerLiteral &&
                literal.as<IntegerLiteral>().getValue().hasUnknown()) {
                uint64_t value = 0;
                uint64_t mask = 0;
                knownBits(literal.as<IntegerLiteral>().getValue(), value, mask);
                // Without wildcards an x or z bit can never match a
                // two-valued selector.
                if (!wildcard)
                    continue;
                wsim_kernel::expr_t k;
                k.code.push_back({wsim_kernel::xop::CONST, 64, 64, 0, operand_t::BIT, 0, value});
                entry.expr = sim_state::instance().add_expr(std::move(k));
                entry.mask = mask;
            } else {
                entry.expr = compileExpression(*item);
            }
            table.items.push_back(entry);
        }
        return *group.stmt;
    };
    compileDispatch(table, where, c.items.size(), arm, c.defaultCase, prog);
}

void SimulatorBuilder::compileDispatch(wsim_kernel::case_table& table, slang::SourceLocation where,
                                       size_t arms,
                                       const std::function<const Statement&(size_t, int)>& arm,
                                       const Statement* otherwise, Program& prog) {
    assignment_t dispatch(assign_t::CASE, addLineContext(where));
    const size_t at = prog.size();
    prog.push_back(dispatch);
    std::vector<size_t> to_end;
    for (size_t i = 0; i < arms; ++i) {
        compileStatement(arm(i, static_cast<int>(prog.size())), prog);
        to_end.push_back(prog.size());
        prog.push_back(assignment_t(assign_t::JUMP, prog[at].line()));
    }
    table.default_target = static_cast<int>(prog.size());
    if (otherwise)
        compileStatement(*otherwise, prog);
    const int end = static_cast<int>(prog.size());
    for (size_t j : to_end)
        prog[j].target = end;
    prog[at].table = sim_state::instance().add_case_table(std::move(table));
}

void SimulatorBuilder::compileAssignment(const AssignmentExpression& assign, int line_ctx,
                                         Program& prog) {
    const bool nonblocking = assign.isNonBlocking();
    assignment_t a(nonblocking ? assign_t::NBA : assign_t::BA, line_ctx);
    a.lhs = compileLValue(assign.left());
    {
        Restore<const Expression*> keep(_ctx.compound_target);
        _ctx.compound_target = &assign.left();
        a.expr = compileExpression(assign.right());
    }
    if (!assign.timingControl) {
        prog.push_back(a);
        return;
    }
    // The right side is computed when the statement runs; only the write
    // waits.
    const TimingControl& tc = *assign.timingControl;
    if (tc.kind == TimingControlKind::RepeatedEvent)
        unmodelled("repeat event control", tc.sourceRange.start());
    const assignment_t wait = timingStatement(tc, line_ctx);
    if (nonblocking) {
        // The process goes on; the update lands later in an NBA region.
        if (wait.type() == assign_t::DELAY) {
            a.delay = wait.delay;
            a.delay_expr = wait.delay_expr;
        } else {
            a.table = heldWrites(wait);
        }
        prog.push_back(a);
        return;
    }
    // The value waits in a slot of its own; the target (and any index in
    // it) is taken when the write happens.
    ++_blocking_waits;
    const int width = sim_state::instance().lvalues(a.lhs).width;
    const int slot = sim_state::instance().add_local();
    assignment_t compute(assign_t::BA, line_ctx);
    compute.lhs = localLValue(slot, width);
    compute.expr = a.expr;
    a.expr = localLoad(slot, width);
    prog.push_back(compute);
    prog.push_back(wait);
    prog.push_back(a);
}

int SimulatorBuilder::heldWrites(const assignment_t& wait) {
    auto& state = sim_state::instance();
    const int list = state.add_held_writes();
    wsim_kernel::process_t helper(_ctx.process_line, _ctx.process_name, wsim_kernel::proc_t::ALWAYS);
    helper.set_instance_id(_ctx.instance_path.empty() ? _top_module_name : _ctx.instance_path);
    assignment_t due(assign_t::NBA_DUE, wait.line());
    due.table = list;
    state.held(list).helper = addProcess(std::move(helper), {wait, due});
    return list;
}

// ---- Timing ----------------------------------------------------------------

uint64_t SimulatorBuilder::ticksPerUnit(const Scope& scope) const {
    const slang::TimeScale ts = scope.getTimeScale().value_or(slang::TimeScale());
    const uint64_t unit = femtoseconds(ts.base);
    return std::max<uint64_t>(1, unit / std::max<uint64_t>(1, _global_precision_fs));
}

SimulatorBuilder::Delay SimulatorBuilder::compileDelay(const Expression& e) {
    const slang::SourceLocation where = e.sourceRange.start();
    if (!_ctx.scope)
        unmodelled("delay", where);
    EvalContext ctx(ASTContext(*_ctx.scope, LookupLocation::max));
    slang::ConstantValue cv = e.eval(ctx);
    // An unsized decimal literal keeps every digit, even past 32 bits.
    const Expression& literal = e.unwrapImplicitConversions();
    if (literal.kind == ExpressionKind::IntegerLiteral &&
        literal.as<IntegerLiteral>().isDeclaredUnsized && sourceMgr) {
        const slang::SourceRange range = literal.sourceRange;
        const std::string_view text = sourceMgr->getSourceText(range.start().buffer());
        std::string digits;
        const size_t from = range.start().offset();
        const size_t to = std::min(text.size(), range.end().offset());
        for (char c : text.substr(std::min(from, to), to - std::min(from, to)))
            if (c != '_' && !std::isspace(static_cast<unsigned char>(c)))
                digits += c;
        if (!digits.empty() && std::all_of(digits.begin(), digits.end(), [](char c) {
                return std::isdigit(static_cast<unsigned char>(c));
            })) {
            errno = 0;
            const unsigned long long v = std::strtoull(digits.c_str(), nullptr, 10);
            if (errno == ERANGE)
                unmodelled("delay out of range", where);
            cv = slang::SVInt(64, v, false);
        }
    }
    double value = 0;
    if (cv.isInteger() && !cv.integer().hasUnknown()) {
        const slang::SVInt& v = cv.integer();
        if (v.isSigned() && v.isNegative())
            unmodelled("negative delay", where);
        const auto u = v.as<uint64_t>();
        if (!u)
            unmodelled("delay out of range", where);
        value = static_cast<double>(*u);
        if (*u > (uint64_t{1} << 53)) {
            // Exact for integers, which doubles are not above 2^53.
            const uint64_t steps = *u;
            const slang::TimeScale ts = _ctx.scope->getTimeScale().value_or(slang::TimeScale());
            const uint64_t unit = femtoseconds(ts.base);
            const uint64_t ratio = unit / std::max<uint64_t>(1, _global_precision_fs);
            if (ratio != 0 && steps > ~uint64_t{0} / ratio)
                unmodelled("delay out of range", where);
            return {steps * std::max<uint64_t>(ratio, 1)};
        }
    } else if (cv.isReal() || cv.isShortReal()) {
        value = cv.isReal() ? double(cv.real()) : double(cv.shortReal());
        if (value < 0 || std::isnan(value))
            unmodelled("negative delay", where);
    } else {
        // Not a constant: computed each time the statement runs, in the
        // unit of the module that writes it.
        return {ticksPerUnit(*_ctx.scope), compileExpression(e)};
    }
    const slang::TimeScale ts = _ctx.scope->getTimeScale().value_or(slang::TimeScale());
    const long double unit = static_cast<long double>(femtoseconds(ts.base));
    const long double prec = static_cast<long double>(std::max<uint64_t>(1, femtoseconds(ts.precision)));
    // Rounded to the module's precision, then counted in the simulation's.
    const long double steps = std::roundl(static_cast<long double>(value) * unit / prec);
    const long double ticks = steps * (prec / static_cast<long double>(_global_precision_fs));
    if (ticks >= 18446744073709551615.0L)
        unmodelled("delay out of range", where);
    return {static_cast<wsim_kernel::time_t>(ticks)};
}

int SimulatorBuilder::compileEventList(const TimingControl& tc) {
    std::vector<wsim_kernel::event_t> events;
    std::vector<const TimingControl*> pending{&tc};
    while (!pending.empty()) {
        const TimingControl* t = pending.back();
        pending.pop_back();
        const slang::SourceLocation where = t->sourceRange.start();
        if (t->kind == TimingControlKind::EventList) {
            const auto& list = t->as<EventListControl>().events;
            for (size_t i = list.size(); i-- > 0;)
                pending.push_back(list[i]);
            continue;
        }
        if (t->kind != TimingControlKind::SignalEvent)
            unmodelled("event control of this kind", where);
        const auto& ev = t->as<SignalEventControl>();
        if (ev.expr.type->isEvent())
            unmodelled("named event", where);
        wsim_kernel::event_t event;
        event.edge = edgeOf(ev.edge);
        event.expr = compileExpression(ev.expr);
        if (ev.iffCondition)
            event.iff = compileExpression(*ev.iffCondition);
        const Expression& watched = ev.expr.unwrapImplicitConversions();
        // An event with a condition is judged by the kernel, not from the write alone.
        if (!event.iff && (watched.kind == ExpressionKind::NamedValue ||
                           watched.kind == ExpressionKind::HierarchicalValue)) {
            // A task or function variable is watched through its expression.
            const Symbol& sym = watched.as<ValueExpressionBase>().symbol;
            if ((sym.kind == SymbolKind::Variable || sym.kind == SymbolKind::Net) &&
                !_ctx.locals.count(&sym) && !subroutineStorage(sym))
                event.direct = signalOf(sym.as<ValueSymbol>());
        }
        events.push_back(event);
    }
    return sim_state::instance().add_event_list(std::move(events));
}

int SimulatorBuilder::sensitivityList(size_t first_expr, size_t first_local,
                                      bool through_functions) {
    std::vector<wsim_kernel::event_t> events;
    std::vector<wsim_kernel::signal_ref> seen;
    auto watch = [&](wsim_kernel::signal_ref sig) {
        if (std::find(seen.begin(), seen.end(), sig) != seen.end())
            return;
        seen.push_back(sig);
        wsim_kernel::event_t ev;
        ev.direct = sig;
        events.push_back(ev);
    };
    for (size_t i = first_expr; i < _ctx.exprs_used.size(); ++i)
        for (const auto& sig : readsOf(_ctx.exprs_used[i], through_functions))
            if (sig.type != operand_t::LOCAL)
                watch(sig);
    for (size_t i = first_local; i < _ctx.locals_named.size(); ++i)
        watch({operand_t::LOCAL, _ctx.locals_named[i]});
    return sim_state::instance().add_event_list(std::move(events));
}

void SimulatorBuilder::compileTiming(const TimingControl& tc, const Statement& where_stmt,
                                     Program& prog) {
    ++_blocking_waits;
    prog.push_back(timingStatement(tc, addLineContext(where_stmt.sourceRange.start())));
}

assignment_t SimulatorBuilder::timingStatement(const TimingControl& tc, int line_ctx) {
    const slang::SourceLocation where = tc.sourceRange.start();
    assignment_t s(assign_t::DELAY, line_ctx);
    switch (tc.kind) {
    case TimingControlKind::Delay: {
        const Delay delay = compileDelay(tc.as<DelayControl>().expr);
        s.delay = delay.steps;
        s.delay_expr = delay.expr;
        break;
    }
    case TimingControlKind::SignalEvent:
    case TimingControlKind::EventList:
        s = assignment_t(assign_t::WAIT, s.line());
        s.events = compileEventList(tc);
        break;
    case TimingControlKind::CycleDelay: unmodelled("cycle delay ##", where);
    case TimingControlKind::RepeatedEvent: unmodelled("repeat event control", where);
    default: unmodelled("timing control of this kind", where);
    }
    return s;
}

const TimedStatement* SimulatorBuilder::clockedBody(const ProceduralBlockSymbol& block,
                                                    wsim_kernel::sample_group& clock) {
    const Statement& body = block.getBody();
    if ((block.procedureKind != ProceduralBlockKind::Always &&
         block.procedureKind != ProceduralBlockKind::AlwaysFF) ||
        body.kind != StatementKind::Timed)
        return nullptr;
    const auto& timed = body.as<TimedStatement>();
    BodyScan scan;
    timed.stmt.visit(scan);
    if (!scan.samples)
        return nullptr;
    if (timed.timing.kind == TimingControlKind::SignalEvent)
        return timed.timing.as<SignalEventControl>().iffCondition ? nullptr : &timed;
    if (timed.timing.kind != TimingControlKind::EventList)
        return nullptr;
    // Of several events, the clock is the one whose signal the body does
    // not read (IEEE 1800 16.14.6): the others are resets and the like.
    const SignalEventControl* found = nullptr;
    for (const TimingControl* t : timed.timing.as<EventListControl>().events) {
        if (t->kind != TimingControlKind::SignalEvent)
            return nullptr;
        const auto& ev = t->as<SignalEventControl>();
        const Expression& e = ev.expr.unwrapImplicitConversions();
        if (ev.iffCondition || e.kind != ExpressionKind::NamedValue)
            return nullptr;
        if (scan.named.count(&e.as<NamedValueExpression>().symbol))
            continue;
        if (found)
            return nullptr;
        found = &ev;
    }
    if (!found)
        return nullptr;
    const Symbol& sym = found->expr.unwrapImplicitConversions().as<NamedValueExpression>().symbol;
    if (sym.kind != SymbolKind::Variable && sym.kind != SymbolKind::Net)
        return nullptr;
    clock.clock = signalOf(sym.as<ValueSymbol>());
    clock.edge = edgeOf(found->edge);
    return &timed;
}

// ---- Tasks -----------------------------------------------------------------

void SimulatorBuilder::compileTaskCall(const CallExpression& call, int line_ctx, Program& prog) {
    const slang::SourceLocation where = call.sourceRange.start();
    const SubroutineSymbol& task = *std::get<const SubroutineSymbol*>(call.subroutine);
    if (task.flags.has(MethodFlags::DPIImport))
        unmodelled("DPI import call", where);
    if (_ctx.inlining.count(&task))
        unmodelled("recursive task", where);
    if (_ctx.task_depth >= max_task_nesting)
        unmodelled("task calls nested too deeply", where);
    const bool outermost = _ctx.task_depth == 0;
    const size_t inline_start = outermost ? prog.size() : _ctx.inline_start;
    if (_inlining_work + (prog.size() - inline_start) >= max_inlining_work)
        unmodelled("task call past the limit of inlined statements", where);
    ++_inlining_work;

    auto& state = sim_state::instance();

    // Arguments are copied in before the body and out after it; the caller's
    // expressions are compiled in the caller's context.
    const auto formals = task.getArguments();
    const auto args = call.arguments();
    std::vector<std::pair<const FormalArgumentSymbol*, int>> slots;
    Program copy_in;
    std::vector<std::pair<int, int>> copy_out; // (caller lvalue, formal expression)
    for (size_t i = 0; i < formals.size() && i < args.size(); ++i) {
        const FormalArgumentSymbol& formal = *formals[i];
        const int width = integralWidth(formal.getType(), where);
        // Calls of a static task share its arguments, even calls that overlap.
        const int slot =
            formal.lifetime == VariableLifetime::Static ? staticSlot(formal) : state.add_local();
        slots.emplace_back(&formal, slot);
        const Expression& arg = *args[i];
        switch (formal.direction) {
        case ArgumentDirection::In: {
            assignment_t in(assign_t::BA, line_ctx);
            in.lhs = localLValue(slot, width);
            in.expr = compileConverted(arg, formal.getType());
            copy_in.push_back(in);
            break;
        }
        case ArgumentDirection::Out:
        case ArgumentDirection::InOut: {
            const Expression& actual = arg.kind == ExpressionKind::Assignment
                                           ? arg.as<AssignmentExpression>().left()
                                           : arg;
            if (formal.direction == ArgumentDirection::InOut) {
                assignment_t in(assign_t::BA, line_ctx);
                in.lhs = localLValue(slot, width);
                in.expr = compileConverted(actual, formal.getType());
                copy_in.push_back(in);
            }
            const wsim_kernel::call_out out = argumentCopyOut(formal, actual, slot);
            copy_out.emplace_back(out.target, out.value);
            break;
        }
        default: unmodelled("ref argument", where);
        }
    }

    Restore<CodeContext> keep(_ctx);
    _ctx.sample_group = nullptr;
    _ctx.inlining.insert(&task);
    ++_ctx.task_depth;
    _ctx.inline_start = inline_start;
    _ctx.scope = &task;
    std::vector<size_t> returns;
    _ctx.returns = &returns;
    _ctx.function_result = 0;
    for (const auto& [formal, slot] : slots)
        _ctx.locals[formal] = slot;
    std::vector<const VariableSymbol*> vars;
    collectVariables(task, vars);
    for (const VariableSymbol* var : vars) {
        if (var->lifetime == VariableLifetime::Static) {
            _ctx.locals[var] = staticSlot(*var);
            continue;
        }
        const int slot = state.add_local();
        _ctx.locals[var] = slot;
        // Per-call storage: every call starts from the declared value.
        assignment_t init(assign_t::BA, line_ctx);
        init.lhs = localLValue(slot, integralWidth(var->getType(), var->location));
        if (const Expression* value = var->getInitializer())
            init.expr = compileConverted(*value, var->getType());
        copy_in.push_back(init);
    }
    for (const assignment_t& s : copy_in)
        prog.push_back(s);
    compileStatement(task.getBody(), prog);
    for (size_t r : returns)
        prog[r].target = static_cast<int>(prog.size());
    for (const auto& [target, value] : copy_out) {
        assignment_t out(assign_t::BA, line_ctx);
        out.lhs = target;
        out.expr = value;
        prog.push_back(out);
    }
    if (outermost)
        _inlining_work += prog.size() - inline_start;
}

int SimulatorBuilder::staticSlot(const VariableSymbol& var) {
    if (auto it = _static_slots.find(&var); it != _static_slots.end())
        return it->second;
    integralWidth(var.getType(), var.location);
    const int slot = sim_state::instance().add_local();
    // Known before its initialiser is compiled, which may name it.
    _static_slots[&var] = slot;
    if (var.kind == SymbolKind::Variable && var.getInitializer()) {
        try {
            initialiseStatic({operand_t::LOCAL, slot}, var, *var.getInitializer());
        } catch (const Unmodelled&) {
            // Every use is left out, as the variable is.
            _static_slots.erase(&var);
            throw;
        }
    }
    return slot;
}

std::optional<int> SimulatorBuilder::subroutineStorage(const Symbol& sym) {
    if (sym.kind != SymbolKind::Variable && sym.kind != SymbolKind::FormalArgument)
        return std::nullopt;
    for (const Scope* s = sym.getParentScope(); s; s = s->asSymbol().getParentScope()) {
        const Symbol& owner = s->asSymbol();
        if (owner.kind == SymbolKind::InstanceBody)
            return std::nullopt;
        if (owner.kind != SymbolKind::Subroutine)
            continue;
        const auto& var = sym.as<VariableSymbol>();
        // A function's result lives only while the function runs.
        if (var.lifetime != VariableLifetime::Static ||
            &sym == owner.as<SubroutineSymbol>().returnValVar)
            unmodelled("reference to a variable of a task or function from outside it",
                       slang::SourceLocation());
        return staticSlot(var);
    }
    return std::nullopt;
}

wsim_kernel::call_out SimulatorBuilder::argumentCopyOut(const FormalArgumentSymbol& formal,
                                                       const Expression& actual, int slot) {
    auto& state = sim_state::instance();
    const int width = integralWidth(formal.getType(), formal.location);
    wsim_kernel::call_out out;
    out.target = compileLValue(actual);
    // Copied out as an assignment of the formal to the actual converts it.
    wsim_kernel::expr_t load;
    load.code.push_back({wsim_kernel::xop::LOAD, 64, 64, 0, operand_t::LOCAL, slot, 0});
    load.width = width;
    const int target_width = state.lvalues(out.target).width;
    if (target_width < width)
        load.code.push_back({wsim_kernel::xop::TRUNC, static_cast<uint8_t>(target_width), 0, 0,
                             operand_t::BIT, 0, 0});
    else if (target_width > width && formal.getType().isSigned())
        load.code.push_back({wsim_kernel::xop::SEXT, static_cast<uint8_t>(target_width),
                             static_cast<uint8_t>(width), 0, operand_t::BIT, 0, 0});
    out.value = state.add_expr(std::move(load));
    return out;
}

// ---- Functions -------------------------------------------------------------

int SimulatorBuilder::compileFunction(const SubroutineSymbol& sub) {
    if (auto it = _functions.find(&sub); it != _functions.end())
        return it->second;
    const slang::SourceLocation where = sub.location;
    if (sub.flags.has(MethodFlags::DPIImport))
        unmodelled("DPI import call", where);
    if (_compiling_functions.count(&sub))
        unmodelled("recursive function", where);
    _compiling_functions.insert(&sub);
    struct Done {
        std::set<const SubroutineSymbol*>& set;
        const SubroutineSymbol* sub;
        ~Done() { set.erase(sub); }
    } done{_compiling_functions, &sub};

    auto& state = sim_state::instance();
    Restore<CodeContext> keep(_ctx);
    _ctx.locals.clear();
    _ctx.sample_group = nullptr;
    _ctx.scope = &sub;
    _ctx.process_name = std::string(sub.name);
    _ctx.origin = sub.location;
    std::vector<size_t> returns;
    _ctx.returns = &returns;

    wsim_kernel::function_t fn;
    fn.name = std::string(sub.name);
    for (const FormalArgumentSymbol* formal : sub.getArguments()) {
        if (formal->direction == ArgumentDirection::Ref)
            unmodelled("ref argument", where);
        // Code outside may name a static argument (f.x): one slot for both.
        const int slot =
            formal->lifetime == VariableLifetime::Static ? staticSlot(*formal) : state.add_local();
        fn.args.push_back(slot);
        fn.widths.push_back(integralWidth(formal->getType(), where));
        _ctx.locals[formal] = slot;
    }
    _ctx.function_result = 0;
    if (sub.returnValVar && !sub.getReturnType().isVoid()) {
        fn.result = state.add_local();
        _ctx.function_result = fn.result;
        _ctx.function_result_width = integralWidth(sub.getReturnType(), where);
        _ctx.locals[sub.returnValVar] = fn.result;
    }
    Program body;
    std::vector<const VariableSymbol*> vars;
    collectVariables(sub, vars);
    for (const VariableSymbol* var : vars) {
        if (var == sub.returnValVar)
            continue;
        if (var->lifetime == VariableLifetime::Static) {
            _ctx.locals[var] = staticSlot(*var);
            continue;
        }
        const int slot = state.add_local();
        _ctx.locals[var] = slot;
        assignment_t init(assign_t::BA, addLineContext(var->location));
        init.lhs = localLValue(slot, integralWidth(var->getType(), var->location));
        if (const Expression* value = var->getInitializer())
            init.expr = compileConverted(*value, var->getType());
        body.push_back(init);
    }
    if (fn.result != 0) {
        assignment_t init(assign_t::BA, addLineContext(where));
        init.lhs = localLValue(fn.result, _ctx.function_result_width);
        body.push_back(init);
    }
    const size_t left_out_before = _left_out_count;
    compileStatement(sub.getBody(), body);
    // A function missing part of its body would answer something else.
    if (_left_out_count != left_out_before)
        unmodelled("call of function " + std::string(sub.name) + ", part of whose body is left out",
                   where);
    for (size_t r : returns)
        body[r].target = static_cast<int>(body.size());
    fn.body = std::move(body);
    const int index = state.add_function(std::move(fn));
    _functions[&sub] = index;
    return index;
}
