// One simulation: clear, parse if needed, build the model, run the kernel
// with standard output captured, collect the recorder's JSON.
#include "core.h"

#include "analysis.h"
#include "cfg_builder.h"
#include "database.h"
#include "error_handling.h"
#include "json_escape.h"
#include "kernel.h"
#include "simulator.h"
#include "timeseries.h"

#include <slang/ast/Compilation.h>
#include <slang/diagnostics/Diagnostics.h>
#include <slang/syntax/SyntaxTree.h>
#include <slang/text/SourceManager.h>

#include <sqlite3.h>

#include <filesystem>
#include <iostream>
#include <sstream>
#include <stdexcept>

namespace {

// Sends standard output into a buffer until destroyed.
class CaptureStdout {
public:
    explicit CaptureStdout(std::ostringstream& into) : saved_(std::cout.rdbuf(into.rdbuf())) {}
    ~CaptureStdout() { std::cout.rdbuf(saved_); }
    CaptureStdout(const CaptureStdout&) = delete;
    CaptureStdout& operator=(const CaptureStdout&) = delete;

private:
    std::streambuf* saved_;
};

// Runs `f` when the scope ends, however it ends.
template <typename F>
class ScopeExit {
public:
    explicit ScopeExit(F f) : f_(std::move(f)) {}
    ~ScopeExit() { f_(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    F f_;
};

std::string consolePathBeside(const std::string& db_path) {
    std::error_code ec;
    const std::filesystem::path dir = std::filesystem::path(db_path).parent_path();
    return std::filesystem::weakly_canonical(dir / "wexla_sim_console.txt", ec).string();
}

} // namespace

WexlaCore::WexlaCore() = default;
WexlaCore::~WexlaCore() { dropSyntaxTree(); }

WexlaCore& WexlaCore::instance() {
    static WexlaCore core;
    return core;
}

void WexlaCore::dropSyntaxTree() {
    compilation.reset();
    syntaxTree.reset();
    sourceMgr.reset();
    treeCopySources.clear();
}

void WexlaCore::useTree(std::shared_ptr<slang::syntax::SyntaxTree> tree,
                        std::map<std::string, std::string> copySources) {
    dropSyntaxTree();
    syntaxTree = std::move(tree);
    treeCopySources = std::move(copySources);
}

std::map<std::string, int> WexlaCore::fileIdsForTree() const {
    std::map<std::string, int> ids = Database::instance().getFileIDMap();
    for (const auto& [copy, source] : treeCopySources) {
        auto it = ids.find(Database::projectPath(source));
        if (it != ids.end())
            ids[Database::projectPath(copy)] = it->second;
    }
    return ids;
}

void WexlaCore::input(const std::string& verilogCode) {
    fileContent = verilogCode;
    dropSyntaxTree();
}

bool WexlaCore::parseVerilog() {
    try {
        dropSyntaxTree();
        sourceMgr = std::make_unique<slang::SourceManager>();
        syntaxTree = slang::syntax::SyntaxTree::fromText(fileContent, *sourceMgr, "source", "");
        if (!syntaxTree) {
            result.success = false;
            result.error_message = "Failed to parse Verilog code - tree is null";
            return false;
        }
        return true;
    } catch (const std::exception& e) {
        result.success = false;
        result.error_message = std::string("Parse exception: ") + e.what();
        return false;
    }
}

bool WexlaCore::buildSimulationModel() {
    compilation = std::make_unique<slang::ast::Compilation>();
    compilation->addSyntaxTree(syntaxTree);

    std::string errors;
    for (const auto& diag : compilation->getAllDiagnostics())
        if (diag.isError())
            errors += std::string(slang::toString(diag.code)) + "; ";
    if (!errors.empty()) {
        result.success = false;
        result.error_message = "Compilation errors: " + errors;
        std::cerr << "[CORE] " << result.error_message << "\n";
        return false;
    }

    const auto& root = compilation->getRoot();
    SimulatorBuilder builder(&syntaxTree->sourceManager());
    if (!root.topInstances.empty())
        builder.setTopModuleName(std::string(root.topInstances[0]->getDefinition().name));
    builder.set_file_id_list(fileIdsForTree());
    // Delays are counted in the finest precision of the design's modules.
    builder.prepareTimescales(root);
    for (const auto* top : root.topInstances)
        builder.elaborateInstanceTree(*top, "");
    root.visit(builder);
    builder.finishModel();
    result.not_modelled = builder.notModelled();

    auto& state = wsim_kernel::sim_state::instance();
    wsim_timeseries::TimeSeriesDB::instance().set_line_ctx_map(builder.getLineContextMap());
    state.set_line_ctx_map(builder.getLineContextMap());
    state.set_console_path(consolePathBeside(Database::instance().get_path()));
    state.set_line_instance_map(builder.getLineInstanceMap());
    signal_registry_json = builder.exportRegistryJSON();
    if (state.all_processes().empty() && !result.not_modelled.empty()) {
        result.success = false;
        result.error_message = "Nothing in the design could be modelled: " +
                               std::to_string(result.not_modelled.size()) +
                               " construct(s) left out";
        return false;
    }
    return true;
}

bool WexlaCore::runSimulation() {
    auto& state = wsim_kernel::sim_state::instance();
    if (state.all_processes().empty())
        return true;
    std::ostringstream console;
    try {
        CaptureStdout capture(console);
        state.run();
    } catch (const std::exception& e) {
        result.success = false;
        result.error_message = std::string("Simulation error: ") + e.what();
        return false;
    }
    result.console_log = console.str();

    const auto reason = state.stop_reason();
    if (reason == wsim_kernel::stop_reason_t::DELTA_LIMIT ||
        reason == wsim_kernel::stop_reason_t::QUEUE_OVERRUN) {
        result.success = false;
        result.error_message = std::string("Simulation aborted: ") +
                               wsim_kernel::stop_reason_text(reason) + " at t=" +
                               std::to_string(state.sim_time());
    }
    return true;
}

void WexlaCore::captureSimulationOutput() {
    auto& recorder = wsim_timeseries::TimeSeriesDB::instance();
    auto& state = wsim_kernel::sim_state::instance();
    result.simulation_json =
        recorder.to_json(result.success, result.error_message, state.sim_time());

    const std::string path = Database::instance().get_path();
    sqlite3* conn = nullptr;
    if (sqlite3_open(path.c_str(), &conn) != SQLITE_OK)
        std::cerr << "Cannot open database '" << path << "': " << sqlite3_errmsg(conn) << "\n";
    sqlite3_close(conn);

    result.total_changes = recorder.get_total_changes();
    result.final_time = state.sim_time();
}

SimulationResult WexlaCore::simulate() {
    wsim_timeseries::TimeSeriesDB::instance().clear();
    wsim_kernel::sim_state::instance().clear();
    Database::instance().purge("timeline");
    Database::instance().purge("queuestate");

    result = SimulationResult{};
    result.success = true;
    const bool parsed = syntaxTree || parseVerilog();
    if (parsed && buildSimulationModel())
        runSimulation();
    captureSimulationOutput();
    return result;
}

std::string WexlaCore::compile(const std::vector<std::string>& pathlist) {
    try {
        Database::instance().dumpMemoryContents();
        CompilationResult& diagnostics = CompilationResult::instance();
        const std::string error_json = diagnostics.get_compile_diagnostics(pathlist);
        if (diagnostics.get_status_code() != 200)
            return error_json;

        auto analysis = std::make_unique<Analysis>(pathlist);
        auto tree = analysis->parse();
        if (!tree)
            throw std::runtime_error("the sources could not be parsed");
        analysisBuilder = std::move(analysis);
        useTree(*tree);
        exportDesignStructure(*tree);

        result = SimulationResult{};
        result.success = true;
        result.simulation_json = error_json;
        return result.simulation_json;
    } catch (const std::exception& e) {
        result.success = false;
        result.error_message = std::string("Parse exception: ") + e.what();
        result.simulation_json =
            "{\"status\": 501, \"error\": \" " + json_escape(result.error_message) + " \"}";
        return result.simulation_json;
    }
}

void WexlaCore::exportDesignStructure(std::shared_ptr<slang::syntax::SyntaxTree> tree) {
    // The old design's rows, and the run recorded against them, go first: ids
    // start again from 0 for every compile.
    Database::instance().purgeTogether({"modules", "instances", "signals", "timeline",
                                        "queuestate", "propertytimeline", "assertionevents"});
    wsim_timeseries::TimeSeriesDB::instance().clear();
    wsim_kernel::sim_state::instance().clear();

    cfg_builder.reset();
    cfgTree = tree;
    cfg_builder = std::make_unique<CFGBuilder>(&cfgTree->sourceManager());
    compilation = std::make_unique<slang::ast::Compilation>();
    compilation->addSyntaxTree(cfgTree);
    const auto& root = compilation->getRoot();
    root.visit(*cfg_builder);
    for (const auto* top : root.topInstances)
        cfg_builder->elaborateInstanceTree(*top, -1, "");
}

std::string WexlaCore::getModuleByName(const std::string& n) {
    if (!cfg_builder)
        return "{\"status\": 500, \"error\": \"Compilation has not been done!\", \"modules\": {} }";
    try {
        const std::string s = cfg_builder->getModuleByName(n);
        if (s == "{}\n")
            return "{\"status\": 502, \"error\": \"Module not found!\" , \"modules\":{}}";
        return "{\"status\": 200, \"error\": \"\", " + s + "}";
    } catch (const std::exception& e) {
        std::cerr << "[ANALYSIS] error in module retrieval" << e.what() << "\n";
        return "{\"status\" : 501, \"error\": \"" + json_escape(e.what()) + "\", \"modules\":{} }";
    }
}

std::string WexlaCore::stepForward(const std::vector<int>& inst_list, int cursor) {
    std::cerr << "[WEXLACORE STEP FORWARD] cursor=" << cursor << "\n";
    auto& state = wsim_kernel::sim_state::instance();
    if (!state.is_simulation_finished() && state.simulation_halted()) {
        Database::instance().save();
        state.resume_simulation();
        state.run();
    }
    return Database::instance().getTimelineForInstanceListByStep(inst_list, cursor);
}

std::string WexlaCore::stepBackward(const std::vector<int>& inst_list, int cursor) {
    return Database::instance().getTimelineForInstanceListByStep(inst_list, cursor);
}

void WexlaCore::injectAndSimulate(const std::vector<Query>& qlist) {
    wsim_timeseries::TimeSeriesDB::instance().clear();
    wsim_kernel::sim_state::instance().clear();
    if (!analysisBuilder) {
        std::cerr << "[CORE] INITIALIZE ANALYSIS BUILDER FIRST!! " << "\n";
        return;
    }
    Analysis& analysis = *analysisBuilder;
    ScopeExit removeCopies([&analysis] { analysis.cleanup(); });
    result = SimulationResult{};
    result.success = true;
    try {
        // The recorder was just cleared: the tables follow it, so the injected
        // run's steps, numbered from 0, never sit beside an older run's.
        Database& db = Database::instance();
        for (const char* table : {"timeline", "queuestate", "propertytimeline", "assertionevents"})
            db.purge(table);
        if (prepareInjectedTree(qlist) && buildSimulationModel())
            runSimulation();
        captureSimulationOutput();
    } catch (const std::exception& e) {
        result.success = false;
        result.error_message = e.what();
        Database::instance().updateSimulationOutcome(false, result.error_message, 0);
        throw;
    }
    analysis.cleanup();
    Database::instance().updateSimulationOutcome(result.success, result.error_message,
                                                 result.final_time);
}

bool WexlaCore::prepareInjectedTree(const std::vector<Query>& qlist) {
    Analysis& analysis = *analysisBuilder;
    analysis.clearFileList();
    if (!analysis.inject(qlist)) {
        result.success = false;
        result.error_message = "injection failed: " + analysis.getFailedFile();
        return false;
    }
    const std::string json = analysis.getErrorJSON();
    if (analysis.getStatus() != 200) {
        std::cerr << "[INJECT AND SIMULATE] Compilation Error after injection" << "\n";
        std::cerr << "error json: " << json << "\n";
    }
    auto tree = analysis.parse();
    if (!tree) {
        result.success = false;
        result.error_message = "Parse exception: the sources with the injected properties "
                               "could not be parsed";
        return false;
    }
    useTree(*tree, analysis.getCopySources());
    return true;
}
