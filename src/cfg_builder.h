// Design-structure exporter: module definitions, instances, processes and
// port dataflow of an elaborated design, as JSON and as project database rows.
#pragma once

#include "database.h"

#include <slang/ast/ASTVisitor.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace slang {
class SourceManager;
}

// One expression, flattened to signal names.
struct CFGExpr {
    std::string kind; // "constant", "signal", "unary_op", "binary_op", "unknown"
    std::string op;
    std::string operand;
    std::string left;
    std::string right;
    std::string value;
    std::string name;
};

struct CFGStatement {
    std::string id;
    std::string kind;
    std::string lhs;
    CFGExpr rhs; // for "if_branch": the condition
    int line = 0;
    std::vector<CFGStatement> true_branch;
    std::vector<CFGStatement> false_branch;
    std::string condition_signal;
};

struct CFGBlock {
    std::string id;
    std::string kind; // "initial", "always", "continuous_assign"
    std::string label;
    std::string trigger;
    int line = 0;
    std::vector<CFGStatement> statements;
};

struct CFGSignal {
    std::string name;
    std::string kind; // "reg" or "wire"
    int width = 0;
    int line = 0;
};

struct CFGPort {
    std::string name;
    std::string direction; // "input", "output", "inout"
    int width = 0;
    int line = 0;
};

struct CFGPortBinding {
    std::string port;
    std::string kind; // "input" or "output"
    std::string connects_module;
    std::string connects_signal;
};

struct CFGInstance {
    int id = 0;
    std::string instance_name;
    std::string module_id;
    std::string parent_module_id;
    int line = 0;
    std::vector<CFGPortBinding> port_bindings;
};

struct CFGModuleDef {
    std::string id;
    int inst_id = 0;
    std::string name;
    std::string file;
    int line = 0;
    std::vector<CFGPort> ports;
    std::vector<CFGSignal> signals;
    std::vector<CFGBlock> blocks;
    std::vector<std::string> instance_ids;
};

// An edge end is an instance end when its instance is set, else a module end.
struct CFGDataflowEdge {
    std::string from_module;
    std::string from_signal;
    std::string from_instance;
    std::string from_port;
    std::string to_module;
    std::string to_signal;
    std::string to_instance;
    std::string to_port;
    std::string kind;
};

class CFGBuilder : public slang::ast::ASTVisitor<CFGBuilder, true, true, false, false> {
public:
    explicit CFGBuilder(const slang::SourceManager* sourceMgr);

    // Ids: one counter for the JSON ids and the database ids alike.
    int fresh();
    std::string fresh(const std::string& prefix);

    // Visitor handlers (they must stay public for the visitor to find them).
    void handle(const slang::ast::InstanceSymbol& inst);
    void handle(const slang::ast::GenerateBlockSymbol& block);

    // Database pass: module, instance and signal rows of `inst` and below.
    // An instance inside generate blocks is named with their path, as the
    // simulator names it (g[0].u1).
    void elaborateInstanceTree(const slang::ast::InstanceSymbol& inst, int pID,
                               std::string inst_path, const std::string& generate_path = "");
    void elaborateSignalList(const slang::ast::InstanceSymbol& inst, std::string mod_name,
                             int inst_id, std::string inst_path);
    // Calls `visit(member, generate_path)` for every member of the instance's
    // body and of the generate blocks within it that are part of the design;
    // the path names those blocks below the instance ("g[0]." for entry 0 of
    // generate array g), as slang names them.
    void forEachMember(const slang::ast::InstanceSymbol& inst,
                       const std::function<void(const slang::ast::Symbol&, const std::string&)>& visit);

    void walkStatements(const slang::ast::Statement& stmt, std::vector<CFGStatement>& out);
    CFGExpr buildExpr(const slang::ast::Expression& expr) const;
    std::string extractSignalName(const slang::ast::Expression& expr) const;
    std::string extractTrigger(const slang::ast::Statement& body) const;
    int getLine(slang::SourceLocation loc) const;
    std::string getFile(slang::SourceLocation loc) const;
    std::pair<int, int> getLineRange(const slang::ast::InstanceSymbol& inst) const;

    // JSON writers: every line of the text starts with the indent `I`; the
    // text ends with the closing brace and no newline.
    std::string exprToJson(const CFGExpr& e, const std::string& I) const;
    std::string stmtToJson(const CFGStatement& s, const std::string& I) const;
    std::string blockToJson(const CFGBlock& b, const std::string& I) const;
    std::string signalToJson(const CFGSignal& s, const std::string& I) const;
    std::string portToJson(const CFGPort& p, const std::string& I) const;
    std::string moduleToJson(const CFGModuleDef& m, const std::string& I) const;
    std::string bindingToJson(const CFGPortBinding& b, const std::string& I) const;
    std::string instanceToJson(const CFGInstance& i, const std::string& I) const;
    std::string dataflowEdgeToJson(const CFGDataflowEdge& e, const std::string& I) const;

    // The whole design document, ending with a newline.
    std::string to_json() const;
    // One module definition as a "modules" member, or "{}\n" when unknown.
    std::string getModuleByName(std::string n) const;

private:
    CFGStatement assignStatement(const slang::ast::AssignmentExpression& assign, const char* kind,
                                 int line);
    CFGModuleDef buildModuleDef(const slang::ast::InstanceSymbol& inst);
    void addBlocks(const slang::ast::InstanceBodySymbol& body, std::vector<CFGBlock>& blocks);
    void recordInstance(const slang::ast::InstanceSymbol& inst, int line);

    const slang::SourceManager* sourceMgr;
    // Each file's path in the project, found once: finding it asks the file system.
    mutable std::map<std::string, std::string, std::less<>> project_paths;
    // Each file's id in the project, and the signal rows not written yet.
    std::map<std::string, int> file_ids;
    std::vector<Database::SignalRow> pending_signals;
    int fileId(const std::string& file);
    void writeSignalRows();
    std::map<std::string, CFGModuleDef> module_defs;
    // Keyed by the zero-padded id, so the document lists instances in visit order.
    std::map<std::string, CFGInstance> instances;
    std::vector<CFGDataflowEdge> dataflow;
    std::string top_module_id;
    int counter = 0;
    // Depth of the walks in progress, bounded by the nesting limit.
    size_t statementDepth = 0;
    size_t scopeDepth = 0;
};
