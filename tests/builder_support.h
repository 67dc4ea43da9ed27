// Builds the executable model of a SystemVerilog text the way the
// orchestrator does, for tests that look at what the model builder made.
#pragma once

#include "database.h"
#include "kernel.h"
#include "parameter_typing.h"
#include "simulator.h"
#include "test_support.h"
#include "timeseries.h"

#include <slang/ast/Compilation.h>
#include <slang/syntax/SyntaxTree.h>
#include <slang/text/SourceManager.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace wexla_test {

struct BuiltDesign {
    std::unique_ptr<slang::SourceManager> sources;
    std::shared_ptr<slang::syntax::SyntaxTree> tree;
    std::unique_ptr<slang::ast::Compilation> compilation;
    // The elaboration the model is built from, when it is not `compilation`'s.
    std::unique_ptr<slang::ast::Compilation> model;
    std::unique_ptr<SimulatorBuilder> builder;

    // Position of a registered name; throws for an unknown one.
    int pos(const std::string& name) const {
        auto it = builder->signal_positions.find(name);
        if (it == builder->signal_positions.end())
            throw std::runtime_error("not registered: " + name);
        return it->second;
    }
    bool has(const std::string& name) const { return builder->signal_positions.count(name) != 0; }
    // The kernel process of that name, or null.
    wsim_kernel::process_t* process(const std::string& name) const {
        for (auto& p : wsim_kernel::sim_state::instance().all_processes())
            if (p.name() == name)
                return &p;
        return nullptr;
    }
};

// The database the recorder writes through; one per test process.
inline void initTestDatabase() {
    static TempDir dir;
    static bool done = false;
    if (!done) {
        Database::init(dir.file("builder.db"));
        done = true;
    }
}

// Clears the kernel and the recorder, then parses, elaborates and builds the
// model of `text` as the orchestrator does.
inline BuiltDesign buildDesign(const std::string& text) {
    initTestDatabase();
    wsim_timeseries::TimeSeriesDB::instance().clear();
    wsim_kernel::sim_state::instance().clear();
    BuiltDesign d;
    d.sources = std::make_unique<slang::SourceManager>();
    d.tree = slang::syntax::SyntaxTree::fromText(text, *d.sources, "source", "");
    d.compilation = std::make_unique<slang::ast::Compilation>();
    d.compilation->addSyntaxTree(d.tree);
    slang::ast::Compilation* model = d.compilation.get();
    if (auto sized = withSizedParameterLiterals(d.compilation->getRoot(), d.tree); sized != d.tree) {
        d.model = std::make_unique<slang::ast::Compilation>();
        d.model->addSyntaxTree(sized);
        model = d.model.get();
    }
    const auto& root = model->getRoot();
    d.builder = std::make_unique<SimulatorBuilder>(d.sources.get());
    if (!root.topInstances.empty())
        d.builder->setTopModuleName(std::string(root.topInstances[0]->getDefinition().name));
    d.builder->prepareTimescales(root);
    for (const auto* top : root.topInstances)
        d.builder->elaborateInstanceTree(*top, "");
    root.visit(*d.builder);
    return d;
}

} // namespace wexla_test
