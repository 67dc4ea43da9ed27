// The orchestrator: holds the current source and its slang tree, and runs
// one simulation from text to recorded timeline.
#pragma once

#include "signal_registry.h"
#include "timeseries.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
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
using NotModelled = wsim_timeseries::NotModelledEntry;

// The outcome of one simulation (or compile).
struct SimulationResult {
    bool success = false;
    std::string error_message;
    std::string simulation_json;
    std::string cfg_json;
    std::string console_log;
    int total_changes = 0;
    uint64_t final_time = 0;
    std::vector<NotModelled> not_modelled;
    // Why the run stopped: "finish", "time limit", "cycle limit", "delta limit",
    // "queue overrun", "no more events", "console limit", or "none" when
    // nothing ran.
    std::string stop_reason = "none";
    // The last step recorded, when the recorder stopped before the run ended.
    std::optional<wsim_timeseries::RecordedUntil> recorded_until;
    // What the host is told about the run inside "meta".
    wsim_timeseries::RunMeta meta() const { return {stop_reason, not_modelled, recorded_until}; }
};

class WexlaCore {
public:
    static WexlaCore& instance();
    WexlaCore(const WexlaCore&) = delete;
    WexlaCore& operator=(const WexlaCore&) = delete;
    ~WexlaCore();

    // Takes new source text; the next simulate() parses and runs it. The
    // project's compiled design stays as it is, and a text run writes no rows
    // into the project database.
    void input(const std::string& verilogCode);
    // Simulates the text given last to input(), or the project when compile()
    // (or an injection) came after it.
    SimulationResult simulate();
    // Simulates the project's compiled sources, whatever text came since; a
    // project whose last compile failed is not simulated. Before any compile
    // this is simulate().
    SimulationResult simulateProject();
    // simulateProject() for a caller that answers from the database: the run's
    // JSON document (simulation_json, getSimulationJSON()) is left empty.
    SimulationResult runProject();

    // Checks the files, parses them and exports the design structure into the
    // database; answers the diagnostics JSON (status 200, 498, 499 or 501).
    std::string compile(const std::vector<std::string>& pathlist);
    // One module's design structure in a status JSON (200, 500, 501 or 502).
    std::string getModuleByName(const std::string& n);
    // Simulates the compiled sources with the queries' properties written into
    // copies; the outcome goes to the project row and is answered.
    SimulationResult injectAndSimulate(const std::vector<Query>& qlist);
    // One recorded step for the listed instances. A forward step first runs a
    // run halted at its cycle limit further, after saving the database file; a
    // save that fails throws, and the run stays halted.
    std::string stepForward(const std::vector<int>& inst_list, int cursor);
    std::string stepBackward(const std::vector<int>& inst_list, int cursor);

    std::string getSimulationJSON() const { return result.simulation_json; }
    std::string getSignalRegistryJSON() const { return signal_registry.json(); }

private:
    WexlaCore();

    std::string compileHere(const std::vector<std::string>& pathlist);
    SimulationResult simulateActiveRoad();
    void injectAndSimulateHere(const std::vector<Query>& qlist);
    bool parseVerilog();
    // Where slang would make a lone unbased literal of an untyped parameter
    // 32 bits wide, `compilation` becomes one of a copy of `tree` with the
    // literal sized (withSizedParameterLiterals): the design's structure and
    // its model see the parameter as the language types it.
    void sizeParameterLiterals(const std::shared_ptr<slang::syntax::SyntaxTree>& tree);
    bool buildSimulationModel();
    bool runSimulation();
    void captureSimulationOutput();
    // Whether a run writes its JSON document; building it walks the whole run.
    bool documentWanted = true;
    std::string stopReasonOfRun(bool built) const;
    // The tree the next simulation runs, and its copies' sources.
    const std::shared_ptr<slang::syntax::SyntaxTree>& activeTree() const;
    // A tree is dropped only after the compilation built over it.
    void dropTextTree();
    void useProjectTree(std::shared_ptr<slang::syntax::SyntaxTree> tree,
                        std::map<std::string, std::string> copySources = {});
    // `elaborated`, when given, is a compilation of `tree` to use.
    void exportDesignStructure(std::shared_ptr<slang::syntax::SyntaxTree> tree,
                               std::unique_ptr<slang::ast::Compilation> elaborated = nullptr);
    bool prepareInjectedTree(const std::vector<Query>& qlist);
    bool projectFailedToCompile() const;
    std::string notCompiledError() const;
    std::map<std::string, int> fileIdsForTree() const;

    // The text road: the last text given to input(), and its parse.
    std::string fileContent;
    std::unique_ptr<slang::SourceManager> sourceMgr;
    std::shared_ptr<slang::syntax::SyntaxTree> textTree;
    // The project road: the compiled sources' tree, or their injected copies'.
    std::shared_ptr<slang::syntax::SyntaxTree> projectTree;
    // Copy path -> source path for the files of an injected tree: the copies'
    // statements are recorded under their sources' file ids.
    std::map<std::string, std::string> treeCopySources;
    // The status of the last compile; 0 before any.
    int compileStatus = 0;
    bool textRoad = true;
    std::unique_ptr<slang::ast::Compilation> compilation;
    // The tree `compilation` was built for; meaningless without one. The
    // compilation holds it, or the copy sizeParameterLiterals made of it.
    const slang::syntax::SyntaxTree* compiledTree = nullptr;
    SimulationResult result;
    std::unique_ptr<Analysis> analysisBuilder;
    // The compiled tree stays alive for the exporter, which points into its sources.
    std::shared_ptr<slang::syntax::SyntaxTree> cfgTree;
    std::unique_ptr<CFGBuilder> cfg_builder;
    SignalRegistry signal_registry;
};
