// unique, unique0 and priority qualifiers of case statements and if-else-if
// chains: the kernel judges them where they run (kernel_checks.cpp).
#include "simulator.h"

#include <filesystem>

using namespace slang::ast;
using wsim_kernel::case_check;

int SimulatorBuilder::qualifierCheck(UniquePriorityCheck check, bool is_if, bool has_default,
                                     slang::SourceLocation where) {
    case_check c;
    std::string keyword;
    switch (check) {
    case UniquePriorityCheck::None: return 0;
    case UniquePriorityCheck::Unique:
        c.kind = case_check::kind_t::UNIQUE;
        keyword = "unique";
        break;
    case UniquePriorityCheck::Unique0:
        c.kind = case_check::kind_t::UNIQUE0;
        keyword = "unique0";
        break;
    case UniquePriorityCheck::Priority:
        c.kind = case_check::kind_t::PRIORITY;
        keyword = "priority";
        break;
    }
    c.is_if = is_if;
    c.has_default = has_default;
    c.place = std::filesystem::path(fileName(where)).filename().string() + ":" +
              std::to_string(getLineNumber(where)) + ": " + keyword + (is_if ? " if" : " case");
    c.scope = _ctx.scope ? std::string(_ctx.scope->asSymbol().getHierarchicalPath())
                         : _top_module_name;
    return kernel().add_case_check(std::move(c));
}

void SimulatorBuilder::compileCheckedIf(const ConditionalStatement& first, Program& prog) {
    const slang::SourceLocation where = first.sourceRange.start();
    // The qualifier covers the else-ifs after it, up to one with its own.
    std::vector<const ConditionalStatement*> chain{&first};
    const Statement* last_else = first.ifFalse;
    while (last_else && last_else->kind == StatementKind::Conditional &&
           last_else->as<ConditionalStatement>().check == UniquePriorityCheck::None) {
        chain.push_back(&last_else->as<ConditionalStatement>());
        last_else = chain.back()->ifFalse;
    }
    for (const ConditionalStatement* c : chain)
        if (c->conditions.size() != 1 || c->conditions[0].pattern)
            unmodelled("if with a pattern", c->sourceRange.start());
    wsim_kernel::case_table table;
    table.selector = constantExpression(1, 1);
    table.check = qualifierCheck(first.check, true, last_else != nullptr, where);
    auto arm = [&](size_t i, int target) -> const Statement& {
        wsim_kernel::case_item item;
        item.expr = compileTruth(*chain[i]->conditions[0].expr);
        item.target = target;
        table.items.push_back(item);
        return chain[i]->ifTrue;
    };
    compileDispatch(table, where, chain.size(), arm, last_else, prog);
}
