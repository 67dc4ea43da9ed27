// The orchestrator: holds the current source and its slang tree, and runs
// one simulation from text to recorded timeline.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class Analysis;
class CFGBuilder;
struct Query;

namespace slang {
class SourceManager;
namespace syntax {
class SyntaxTree;
}
namespace ast {
class Compilation;
}
} // namespace slang

// One construct the model builder left out: where, and what.
struct NotModelled {
    std::string file;
    int line = 0;
    std::string construct;
};

// The outcome of one simulation (or compile).
struct SimulationResult {
    bool success = false;
    std::string error_message;
    std::string simulation_json;
    std::string queue_state_json;
    std::string cfg_json;
    std::string console_log;
    int total_changes = 0;
    uint64_t final_time = 0;
    std::vector<NotModelled> not_modelled;
};

class WexlaCore {
public:
    static WexlaCore& instance();
    WexlaCore(const WexlaCore&) = delete;
    WexlaCore& operator=(const WexlaCore&) = delete;
    ~WexlaCore();

    // Takes new source text; the next simulation parses it.
    void input(const std::string& verilogCode);
    SimulationResult simulate();

    // Checks the files, parses them and exports the design structure into the
    // database; answers the diagnostics JSON (status 200, 498, 499 or 501).
    std::string compile(const std::vector<std::string>& pathlist);
    // One module's design structure in a status JSON (200, 500, 501 or 502).
    std::string getModuleByName(const std::string& n);
    // Simulates the compiled sources with the queries' properties written into
    // copies; the outcome goes to the project row.
    void injectAndSimulate(const std::vector<Query>& qlist);
    // One recorded step for the listed instances. A forward step first runs a
    // run halted at its cycle limit further, after saving the database file.
    std::string stepForward(const std::vector<int>& inst_list, int cursor);
    std::string stepBackward(const std::vector<int>& inst_list, int cursor);

    std::string getSimulationJSON() const { return result.simulation_json; }
    std::string getQueueStateJSON() const { return result.queue_state_json; }
    std::string getSignalRegistryJSON() const { return signal_registry_json; }

private:
    WexlaCore();

    bool parseVerilog();
    bool buildSimulationModel();
    bool runSimulation();
    void captureSimulationOutput();
    // Drops the compilation, the tree and the source manager, in that order.
    void dropSyntaxTree();
    void useTree(std::shared_ptr<slang::syntax::SyntaxTree> tree,
                 std::map<std::string, std::string> copySources = {});
    void exportDesignStructure(std::shared_ptr<slang::syntax::SyntaxTree> tree);
    bool prepareInjectedTree(const std::vector<Query>& qlist);
    std::map<std::string, int> fileIdsForTree() const;

    std::string fileContent;
    std::unique_ptr<slang::SourceManager> sourceMgr;
    std::shared_ptr<slang::syntax::SyntaxTree> syntaxTree;
    std::unique_ptr<slang::ast::Compilation> compilation;
    SimulationResult result;
    std::unique_ptr<Analysis> analysisBuilder;
    // The compiled tree stays alive for the exporter, which points into its sources.
    std::shared_ptr<slang::syntax::SyntaxTree> cfgTree;
    std::unique_ptr<CFGBuilder> cfg_builder;
    std::string signal_registry_json;
    // Copy path -> source path for the files of an injected tree: the copies'
    // statements are recorded under their sources' file ids.
    std::map<std::string, std::string> treeCopySources;
};
