#include "cfg_builder.h"

#include "database.h"
#include "engine_log.h"
#include "nesting_limits.h"
#include "plain_names.h"

#include <slang/ast/ASTVisitor.h>
#include <slang/syntax/AllSyntax.h>
#include <slang/text/SourceManager.h>

#include <cstdio>
#include <deque>
#include <filesystem>
#include <iostream>
#include <unordered_set>

using namespace slang::ast;
using slang::syntax::HierarchyInstantiationSyntax;
using slang::syntax::ModuleDeclarationSyntax;
using slang::syntax::SyntaxKind;

namespace {

// Decimal text of an integer literal; values beyond 64 bits or holding x/z
// bits keep slang's own decimal rendering.
std::string literalText(const IntegerLiteral& literal) {
    const slang::SVInt value = literal.getValue();
    if (auto number = value.as<uint64_t>())
        return std::to_string(*number);
    return value.toString(slang::LiteralBase::Decimal, false);
}

std::string directionText(ArgumentDirection direction) {
    switch (direction) {
    case ArgumentDirection::Out: return "output";
    case ArgumentDirection::InOut: return "inout";
    default: return "input";
    }
}

std::string unaryOpText(UnaryOperator op) {
    switch (op) {
    case UnaryOperator::BitwiseNot: return "~";
    case UnaryOperator::LogicalNot: return "!";
    default: return "?";
    }
}

std::string binaryOpText(BinaryOperator op) {
    switch (op) {
    case BinaryOperator::Add: return "+";
    case BinaryOperator::Subtract: return "-";
    case BinaryOperator::BinaryAnd: return "&";
    case BinaryOperator::BinaryOr: return "|";
    case BinaryOperator::BinaryXor: return "^";
    case BinaryOperator::Equality: return "==";
    case BinaryOperator::Inequality: return "!=";
    case BinaryOperator::LogicalAnd: return "&&";
    case BinaryOperator::LogicalOr: return "||";
    default: return "?";
    }
}

// An instance named like its definition stands for a top in both passes.
// Paths are named below the first top instance; another top's signals and
// instances keep its name first (tb.u), as the model names them.
bool isFirstTop(const InstanceSymbol& inst) {
    if (!inst.isTopLevel())
        return false;
    const auto& tops = inst.getParentScope()->getCompilation().getRoot().topInstances;
    return !tops.empty() && tops[0] == &inst;
}

int bitWidth(const slang::ast::Type& type) {
    return static_cast<int>(type.getBitWidth());
}

// The body that encloses `sym`, through generate blocks and instance arrays.
const InstanceBodySymbol* enclosingBody(const Symbol& sym) {
    for (const Scope* scope = sym.getParentScope(); scope;
         scope = scope->asSymbol().getParentScope()) {
        if (scope->asSymbol().kind == SymbolKind::InstanceBody)
            return &scope->asSymbol().as<InstanceBodySymbol>();
    }
    return nullptr;
}

// The names of the signals the ports stand for: a port's own name, and the
// signal it connects to inside (`.a(x)`, or each of `.din({dh, dl})`).
std::unordered_set<std::string_view> portNames(const InstanceBodySymbol& body) {
    std::unordered_set<std::string_view> names;
    auto add = [&names](const PortSymbol& port) {
        names.insert(port.name);
        if (port.internalSymbol)
            names.insert(port.internalSymbol->name);
    };
    for (const Symbol* entry : body.getPortList()) {
        if (entry->kind == SymbolKind::Port)
            add(entry->as<PortSymbol>());
        else if (entry->kind == SymbolKind::MultiPort)
            for (const PortSymbol* port : entry->as<MultiPortSymbol>().ports)
                add(*port);
    }
    return names;
}

// Interfaces and programs are not module declarations.
const ModuleDeclarationSyntax* moduleDeclaration(const DefinitionSymbol& def) {
    const auto* node = def.getSyntax();
    if (!node || node->kind != SyntaxKind::ModuleDeclaration)
        return nullptr;
    return &node->as<ModuleDeclarationSyntax>();
}

bool isSignal(const Symbol& member) {
    return member.kind == SymbolKind::Variable || member.kind == SymbolKind::Net;
}

} // namespace

CFGBuilder::CFGBuilder(const slang::SourceManager* sourceMgr) : sourceMgr(sourceMgr) {}

int CFGBuilder::fresh() {
    return counter++;
}

std::string CFGBuilder::fresh(const std::string& prefix) {
    return prefix + "_" + std::to_string(counter++);
}

int CFGBuilder::getLine(slang::SourceLocation loc) const {
    if (!sourceMgr || !loc.valid())
        return 0;
    return static_cast<int>(sourceMgr->getLineNumber(loc));
}

std::string CFGBuilder::getFile(slang::SourceLocation loc) const {
    if (!sourceMgr || !loc.valid())
        return "source";
    const std::string_view name = sourceMgr->getFileName(loc);
    if (name.empty())
        return "source";
    auto known = project_paths.find(name);
    if (known == project_paths.end()) {
        const std::string file(name);
        known = project_paths.emplace(file, Database::projectPath(file)).first;
    }
    return known->second;
}

std::string CFGBuilder::extractSignalName(const Expression& expr) const {
    const Expression& e = expr.unwrapImplicitConversions();
    if (e.kind == ExpressionKind::NamedValue)
        return std::string(e.as<NamedValueExpression>().symbol.name);
    if (e.kind == ExpressionKind::LValueReference) {
        if (const Symbol* sym = e.getSymbolReference(true))
            return std::string(sym->name);
    }
    if (const Symbol* sym = expr.getSymbolReference(true))
        return std::string(sym->name);
    return "";
}

CFGExpr CFGBuilder::buildExpr(const Expression& expr) const {
    const Expression& e = expr.unwrapImplicitConversions();
    CFGExpr out;
    switch (e.kind) {
    case ExpressionKind::IntegerLiteral:
        out.kind = "constant";
        out.value = literalText(e.as<IntegerLiteral>());
        break;
    case ExpressionKind::NamedValue:
    case ExpressionKind::LValueReference:
        out.kind = "signal";
        out.name = extractSignalName(e);
        break;
    case ExpressionKind::UnaryOp: {
        const auto& unary = e.as<UnaryExpression>();
        out.kind = "unary_op";
        out.op = unaryOpText(unary.op);
        out.operand = extractSignalName(unary.operand());
        break;
    }
    case ExpressionKind::BinaryOp: {
        const auto& binary = e.as<BinaryExpression>();
        out.kind = "binary_op";
        out.op = binaryOpText(binary.op);
        out.left = extractSignalName(binary.left());
        out.right = extractSignalName(binary.right());
        break;
    }
    default:
        out.kind = "unknown";
        break;
    }
    return out;
}

std::string CFGBuilder::extractTrigger(const Statement& body) const {
    if (body.kind != StatementKind::Timed)
        return "";
    const TimingControl& timing = body.as<TimedStatement>().timing;
    switch (timing.kind) {
    case TimingControlKind::Delay: {
        const Expression& delay = timing.as<DelayControl>().expr.unwrapImplicitConversions();
        if (delay.kind == ExpressionKind::IntegerLiteral)
            return "delay:" + literalText(delay.as<IntegerLiteral>());
        return "delay";
    }
    case TimingControlKind::SignalEvent:
        return extractSignalName(timing.as<SignalEventControl>().expr);
    case TimingControlKind::EventList: {
        std::string names;
        for (const TimingControl* event : timing.as<EventListControl>().events) {
            if (event->kind != TimingControlKind::SignalEvent)
                continue;
            const std::string name = extractSignalName(event->as<SignalEventControl>().expr);
            if (name.empty())
                continue;
            if (!names.empty())
                names += ",";
            names += name;
        }
        return names;
    }
    default:
        return "";
    }
}

CFGStatement CFGBuilder::assignStatement(const AssignmentExpression& assign, const char* kind,
                                         int line) {
    CFGStatement s;
    s.id = fresh("stmt");
    s.kind = kind;
    s.lhs = extractSignalName(assign.left());
    s.rhs = buildExpr(assign.right());
    s.line = line;
    return s;
}

void CFGBuilder::walkStatements(const Statement& stmt, std::vector<CFGStatement>& out) {
    const nesting::DepthGuard level(statementDepth, "statements");
    switch (stmt.kind) {
    case StatementKind::List:
        for (const Statement* item : stmt.as<StatementList>().list)
            walkStatements(*item, out);
        break;
    case StatementKind::Block:
        walkStatements(stmt.as<BlockStatement>().body, out);
        break;
    case StatementKind::Timed:
        walkStatements(stmt.as<TimedStatement>().stmt, out);
        break;
    case StatementKind::ExpressionStatement: {
        const Expression& expr = stmt.as<ExpressionStatement>().expr;
        const int line = getLine(stmt.sourceRange.start());
        if (expr.kind == ExpressionKind::Call) {
            const std::string_view name = expr.as<CallExpression>().getSubroutineName();
            if (name == "$finish" || name == "$display" || name == "$monitor") {
                CFGStatement call;
                call.id = fresh("stmt");
                call.kind = std::string(name.substr(1));
                call.line = line;
                out.push_back(std::move(call));
            }
        } else if (expr.kind == ExpressionKind::Assignment) {
            const auto& assign = expr.as<AssignmentExpression>();
            out.push_back(assignStatement(
                assign, assign.isNonBlocking() ? "nonblocking_assign" : "blocking_assign", line));
        }
        break;
    }
    case StatementKind::Conditional: {
        const auto& cond = stmt.as<ConditionalStatement>();
        CFGStatement s;
        s.id = fresh("stmt");
        s.kind = "if_branch";
        s.line = getLine(stmt.sourceRange.start());
        if (!cond.conditions.empty()) {
            const Expression& test = *cond.conditions.front().expr;
            s.condition_signal = extractSignalName(test);
            s.rhs = buildExpr(test);
        }
        walkStatements(cond.ifTrue, s.true_branch);
        if (cond.ifFalse)
            walkStatements(*cond.ifFalse, s.false_branch);
        out.push_back(std::move(s));
        break;
    }
    default:
        break;
    }
}

void CFGBuilder::addBlocks(const InstanceBodySymbol& body, std::vector<CFGBlock>& blocks) {
    for (const auto& member : body.members()) {
        if (member.kind == SymbolKind::ProceduralBlock) {
            const auto& proc = member.as<ProceduralBlockSymbol>();
            const bool initial = proc.procedureKind == ProceduralBlockKind::Initial;
            const Statement& stmt = proc.getBody();
            CFGBlock block;
            block.id = fresh(initial ? "blk_initial" : "blk_always");
            block.kind = initial ? "initial" : "always";
            block.line = getLine(proc.location);
            const Statement& inner =
                stmt.kind == StatementKind::Timed ? stmt.as<TimedStatement>().stmt : stmt;
            if (inner.kind == StatementKind::Block) {
                if (const auto* sym = inner.as<BlockStatement>().blockSymbol)
                    block.label = std::string(sym->name);
            }
            block.trigger = extractTrigger(stmt);
            walkStatements(stmt, block.statements);
            blocks.push_back(std::move(block));
        } else if (member.kind == SymbolKind::ContinuousAssign) {
            const Expression& assignment = member.as<ContinuousAssignSymbol>().getAssignment();
            if (assignment.kind != ExpressionKind::Assignment)
                continue;
            const auto& assign = assignment.as<AssignmentExpression>();
            CFGBlock block;
            block.id = fresh("blk_ca");
            block.kind = "continuous_assign";
            block.line = getLine(member.location);
            block.statements.push_back(assignStatement(assign, "continuous_assign", block.line));
            blocks.push_back(std::move(block));
        }
    }
}

CFGModuleDef CFGBuilder::buildModuleDef(const InstanceSymbol& inst) {
    const std::string def_name(inst.getDefinition().name);
    const InstanceBodySymbol& body = inst.body;
    CFGModuleDef def;
    def.id = def_name;
    def.inst_id = fresh();
    def.name = def_name;
    def.file = getFile(body.location);
    const auto* decl = moduleDeclaration(inst.getDefinition());
    def.line = decl ? getLine(decl->endmodule.location()) : -1;

    for (const Symbol* entry : body.getPortList()) {
        if (entry->kind != SymbolKind::Port)
            continue;
        const auto& port = entry->as<PortSymbol>();
        def.ports.push_back({std::string(port.name), directionText(port.direction),
                             bitWidth(port.getType()), getLine(port.location)});
    }
    for (const auto& member : body.members()) {
        if (!isSignal(member))
            continue;
        def.signals.push_back({std::string(member.name),
                               member.kind == SymbolKind::Variable ? "reg" : "wire",
                               bitWidth(member.as<ValueSymbol>().getType()),
                               getLine(member.location)});
    }
    addBlocks(body, def.blocks);
    return def;
}

void CFGBuilder::recordInstance(const InstanceSymbol& inst, int line) {
    const InstanceBodySymbol* parent = enclosingBody(inst);
    CFGInstance record;
    record.parent_module_id = parent ? std::string(parent->getDefinition().name) : "";
    record.id = fresh();
    record.instance_name = std::string(inst.name);
    record.module_id = std::string(inst.getDefinition().name);
    record.line = line;
    const std::string id_text = std::to_string(record.id);

    for (const PortConnection* conn : inst.getPortConnections()) {
        const Expression* expr = conn->getExpression();
        if (conn->port.kind != SymbolKind::Port || !expr)
            continue;
        const std::string signal = extractSignalName(*expr);
        if (signal.empty())
            continue;
        const std::string port_name(conn->port.name);
        const bool input = conn->port.as<PortSymbol>().direction == ArgumentDirection::In;
        record.port_bindings.push_back(
            {port_name, input ? "input" : "output", record.parent_module_id, signal});
        CFGDataflowEdge edge;
        edge.kind = "port_drive";
        if (input) {
            edge.from_module = record.parent_module_id;
            edge.from_signal = signal;
            edge.to_instance = id_text;
            edge.to_port = port_name;
        } else {
            edge.from_instance = id_text;
            edge.from_port = port_name;
            edge.to_module = record.parent_module_id;
            edge.to_signal = signal;
        }
        dataflow.push_back(std::move(edge));
    }

    char key[16];
    std::snprintf(key, sizeof key, "%010d", record.id);
    instances.emplace(key, std::move(record));
}

void CFGBuilder::handle(const InstanceSymbol& inst) {
    const std::string def_name(inst.getDefinition().name);
    const auto* syntax = inst.getSyntax();
    const int inst_line = syntax ? getLine(syntax->sourceRange().start()) : 0;

    if (!module_defs.contains(def_name)) {
        CFGModuleDef def = buildModuleDef(inst);
        if (isFirstTop(inst))
            top_module_id = def_name;
        module_defs.emplace(def_name, std::move(def));
    }
    if (!inst.isTopLevel())
        recordInstance(inst, inst_line);
    const nesting::DepthGuard level(scopeDepth, "generate blocks and instances");
    visitDefault(inst);
}

void CFGBuilder::handle(const GenerateBlockSymbol& block) {
    const nesting::DepthGuard level(scopeDepth, "generate blocks and instances");
    // An untaken generate branch is no part of the design.
    if (!block.isUninstantiated)
        visitDefault(block);
}

std::pair<int, int> CFGBuilder::getLineRange(const InstanceSymbol& inst) const {
    const auto* syntax = inst.getSyntax();
    if (!syntax)
        return {-1, -1};
    const auto* statement = syntax->parent;
    if (!statement || statement->kind != SyntaxKind::HierarchyInstantiation) {
        std::cerr << "[line range] null parent or wrong kind\n";
        return {-1, -1};
    }
    const int first = getLine(statement->getFirstToken().location());
    const int last =
        getLine(statement->as<HierarchyInstantiationSyntax>().semi.location());
    engine_log::out() << "[LOC] " << first << " " << last << "\n";
    return {first, last};
}

void CFGBuilder::forEachMember(const InstanceSymbol& inst,
                               const std::function<void(const Symbol&, const std::string&)>& visit) {
    const std::string base = inst.getHierarchicalPath();
    // In the order written: the body's own members, then each block's.
    std::deque<const Scope*> pending{&inst.body};
    while (!pending.empty()) {
        const Scope* scope = pending.front();
        pending.pop_front();
        std::string generate_path;
        if (scope != &inst.body) {
            const std::string full = scope->asSymbol().getHierarchicalPath();
            generate_path =
                full.size() > base.size() ? plainPath(full.substr(base.size() + 1)) + "." : "";
        }
        for (const Symbol& member : scope->members()) {
            if (member.kind == SymbolKind::GenerateBlock) {
                // An untaken generate branch is no part of the design.
                if (!member.as<GenerateBlockSymbol>().isUninstantiated)
                    pending.push_back(&member.as<GenerateBlockSymbol>());
            } else if (member.kind == SymbolKind::GenerateBlockArray) {
                for (const GenerateBlockSymbol* entry : member.as<GenerateBlockArraySymbol>().entries)
                    if (!entry->isUninstantiated)
                        pending.push_back(entry);
            } else {
                visit(member, generate_path);
            }
        }
    }
}

void CFGBuilder::elaborateInstanceTree(const InstanceSymbol& inst, int pID,
                                       std::string inst_path, const std::string& generate_path) {
    // The outermost call writes the signal rows of the whole tree, many to a
    // statement, however it ends.
    struct WriteSignals {
        CFGBuilder& builder;
        bool outermost;
        ~WriteSignals() {
            if (outermost)
                builder.writeSignalRows();
        }
    } write{*this, scopeDepth == 0};
    const nesting::DepthGuard level(scopeDepth, "instances");
    const DefinitionSymbol& def = inst.getDefinition();
    const std::string inst_name = generate_path + std::string(inst.name);
    const std::string def_name(def.name);
    const std::string def_file = getFile(inst.body.location);
    int def_start_line = -1;
    int def_end_line = -1;
    if (const auto* syntax = def.getSyntax())
        def_start_line = getLine(syntax->sourceRange().start());
    if (const auto* decl = moduleDeclaration(def))
        def_end_line = getLine(decl->endmodule.location());
    Database& db = Database::instance();

    int id = 0;
    std::string path;
    if (inst.isTopLevel()) {
        // The instance row shares the module row's id, and the first top's
        // name is no part of the paths below it.
        id = fresh();
        db.insertModule(id, def_name, def_file, def_start_line, def_end_line);
        db.insertInstance(id, def_name, def_file, def_start_line, def_end_line, def_name, id,
                          def_name, true);
        path = isFirstTop(inst) ? "" : def_name;
        elaborateSignalList(inst, def_name, id, path);
    } else {
        path = inst_path.empty() ? inst_name : inst_path + "." + inst_name;
        id = fresh();
        const auto [start, end] = getLineRange(inst);
        const int mod_id = fresh();
        db.insertModule(mod_id, def_name, def_file, def_start_line, def_end_line);
        db.insertInstance(id, inst_name, getFile(inst.location), start, end, def_name, pID, path,
                          false);
        elaborateSignalList(inst, def_name, id, path);
    }
    forEachMember(inst, [&](const Symbol& member, const std::string& generate_path) {
        if (member.kind == SymbolKind::Instance)
            elaborateInstanceTree(member.as<InstanceSymbol>(), id, path, generate_path);
    });
}

void CFGBuilder::elaborateSignalList(const InstanceSymbol& inst, std::string mod_name,
                                     int inst_id, std::string inst_path) {
    const InstanceBodySymbol& body = inst.body;
    const int sig_file = fileId(getFile(body.location));
    const auto ports = portNames(body);
    forEachMember(inst, [&](const Symbol& member, const std::string& generate_path) {
        if (!isSignal(member))
            return;
        const std::string name = generate_path + std::string(member.name);
        const std::string sig_name = inst_path.empty() ? name : inst_path + "." + name;
        const bool isReg = member.kind == SymbolKind::Variable;
        // An output reg is as much a port as an input wire.
        const int isPort = generate_path.empty() && ports.contains(member.name) ? 1 : 0;
        const int width = bitWidth(member.as<ValueSymbol>().getType());
        const int line = getLine(member.location);
        const int sig_id = fresh();
        pending_signals.push_back({sig_name, sig_id, sig_file, line, width, isReg ? 1 : 0, isPort,
                                   isReg ? "reg" : "wire", mod_name, inst_id});
    });
}

int CFGBuilder::fileId(const std::string& file) {
    auto known = file_ids.find(file);
    if (known == file_ids.end())
        known = file_ids.emplace(file, Database::instance().getFileID(file)).first;
    return known->second;
}

void CFGBuilder::writeSignalRows() {
    Database::instance().insertSignalRows(pending_signals);
    pending_signals.clear();
}
