// The orchestrator: holds the current source and its slang tree, and runs
// one simulation from text to recorded timeline.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace slang {
class SourceManager;
namespace syntax {
class SyntaxTree;
}
namespace ast {
class Compilation;
}
} // namespace slang

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

    std::string fileContent;
    std::unique_ptr<slang::SourceManager> sourceMgr;
    std::shared_ptr<slang::syntax::SyntaxTree> syntaxTree;
    std::unique_ptr<slang::ast::Compilation> compilation;
    SimulationResult result;
    std::string signal_registry_json;
};
