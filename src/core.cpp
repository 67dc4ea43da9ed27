// One simulation: clear, parse if needed, build the model, run the kernel
// with standard output captured, collect the recorder's JSON.
#include "core.h"

#include "analysis.h"
#include "capped_output.h"
#include "cfg_builder.h"
#include "database.h"
#include "error_handling.h"
#include "json_escape.h"
#include "kernel.h"
#include "large_stack.h"
#include "nesting_limits.h"
#include "parameter_typing.h"
#include "project_files.h"
#include "simulator.h"
#include "timeseries.h"

#include <slang/ast/Compilation.h>
#include <slang/diagnostics/Diagnostics.h>
#include <slang/syntax/SyntaxTree.h>
#include <slang/text/SourceManager.h>

#include <sqlite3.h>

#include <iostream>
#include <stdexcept>

namespace {

// Sends standard output into a buffer until destroyed.
class CaptureStdout {
public:
    explicit CaptureStdout(std::streambuf& into) : saved_(std::cout.rdbuf(&into)) {}
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

// A text run has no file of its own for what the design prints: it goes to
// the project's console file.
const char* const kNoProjectError =
    "no project is configured: call json2_callback first (a text run writes what the design "
    "prints to the console file beside the project database)";

std::string lostRows(const char* what, const FailedWrites& failed) {
    return std::string(what) + " did not all reach the project database: " + failed.describe();
}

// What went wrong besides, found once the run is done: the answer is no
// success, and says it after any reason it had.
void addFailure(SimulationResult& result, const std::string& why) {
    result.error_message += (result.error_message.empty() ? "" : "; ") + why;
    result.success = false;
}

// A run or compile whose rows did not all land is no success.
void failOnLostRows(SimulationResult& result, const FailedWrites& failed, const char* what) {
    if (failed.count() == 0)
        return;
    const std::string lost = lostRows(what, failed);
    std::cerr << "[CORE] " << lost << "\n";
    addFailure(result, lost);
}

} // namespace

WexlaCore::WexlaCore() = default;

WexlaCore::~WexlaCore() {
    compilation.reset();
    dropTextTree();
}

WexlaCore& WexlaCore::instance() {
    static WexlaCore core;
    return core;
}

const std::shared_ptr<slang::syntax::SyntaxTree>& WexlaCore::activeTree() const {
    return textRoad ? textTree : projectTree;
}

void WexlaCore::dropTextTree() {
    compilation.reset();
    textTree.reset();
    sourceMgr.reset();
}

void WexlaCore::useProjectTree(std::shared_ptr<slang::syntax::SyntaxTree> tree,
                               std::map<std::string, std::string> copySources) {
    compilation.reset();
    projectTree = std::move(tree);
    treeCopySources = std::move(copySources);
    textRoad = false;
}

bool WexlaCore::projectFailedToCompile() const { return compileStatus != 0 && compileStatus != 200; }

std::string WexlaCore::notCompiledError() const {
    return "the sources did not compile (compile status " + std::to_string(compileStatus) +
           "); the compile answer lists why";
}

std::map<std::string, int> WexlaCore::fileIdsForTree() const {
    std::map<std::string, int> ids = Database::instance().getFileIDMap();
    if (textRoad)
        return ids;
    for (const auto& [copy, source] : treeCopySources) {
        auto it = ids.find(Database::projectPath(source));
        if (it != ids.end())
            ids[Database::projectPath(copy)] = it->second;
    }
    return ids;
}

void WexlaCore::input(const std::string& verilogCode) {
    fileContent = verilogCode;
    dropTextTree();
    textRoad = true;
}

bool WexlaCore::parseVerilog() {
    try {
        dropTextTree();
        if (auto excess = nesting::scanText(fileContent)) {
            result.success = false;
            result.error_message = excess->describe();
            std::cerr << "[CORE] " << result.error_message << "\n";
            return false;
        }
        sourceMgr = std::make_unique<slang::SourceManager>();
        textTree = slang::syntax::SyntaxTree::fromText(fileContent, *sourceMgr, "source", "",
                                                       nesting::parseOptions());
        if (!textTree) {
            result.success = false;
            result.error_message = "Failed to parse Verilog code - tree is null";
            return false;
        }
        return true;
    } catch (const std::exception& e) {
        // slang's parser gives up past its own recursion limit with an
        // exception that carries no text.
        const std::string what = *e.what() ? e.what() : "language constructs are too deeply nested";
        result.success = false;
        result.error_message = "Parse exception: " + what;
        return false;
    }
}

void WexlaCore::sizeParameterLiterals(const std::shared_ptr<slang::syntax::SyntaxTree>& tree) {
    auto sized = withSizedParameterLiterals(compilation->getRoot(), tree);
    if (sized == tree)
        return;
    compilation = std::make_unique<slang::ast::Compilation>();
    compilation->addSyntaxTree(std::move(sized));
}

bool WexlaCore::buildSimulationModel() {
    const auto& tree = activeTree();
    // The compile's elaboration of this very tree serves the model as well.
    const bool elaborated = compilation && compiledTree == tree.get();
    if (!elaborated)
        compilation.reset();
    if (auto excess = nesting::checkTree(*tree)) {
        result.success = false;
        result.error_message = excess->describe();
        std::cerr << "[CORE] " << result.error_message << "\n";
        return false;
    }
    if (!elaborated) {
        compilation = std::make_unique<slang::ast::Compilation>();
        compilation->addSyntaxTree(tree);
        compiledTree = tree.get();
    }

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

    sizeParameterLiterals(tree);
    const auto& root = compilation->getRoot();
    SimulatorBuilder builder(&tree->sourceManager());
    if (!root.topInstances.empty())
        builder.setTopModuleName(std::string(root.topInstances[0]->getDefinition().name));
    builder.set_file_id_list(fileIdsForTree());
    builder.set_file_names(Database::instance().getFileIDMap());
    // Delays are counted in the finest precision of the design's modules.
    builder.prepareTimescales(root);
    for (const auto* top : root.topInstances)
        builder.elaborateInstanceTree(*top, "");
    root.visit(builder);
    result.not_modelled = builder.notModelled();

    auto& state = wsim_kernel::sim_state::instance();
    wsim_timeseries::TimeSeriesDB::instance().set_line_ctx_map(builder.getLineContextMap());
    state.set_line_ctx_map(builder.getLineContextMap());
    state.set_console_path(
        Database::fileBeside(Database::instance().get_path(), "wexla_sim_console.txt"));
    signal_registry = builder.takeRegistry();
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
    // The kernel's log of a long run is kept from both ends only.
    CappedOutput console;
    bool ran = true;
    try {
        const CaptureStdout capture(console);
        state.run();
        result.console_log = console.text();
    } catch (const std::exception& e) {
        result.success = false;
        result.error_message = std::string("Simulation error: ") + e.what();
        ran = false;
    }

    const auto reason = state.stop_reason();
    if (ran && (reason == wsim_kernel::stop_reason_t::DELTA_LIMIT ||
                reason == wsim_kernel::stop_reason_t::QUEUE_OVERRUN)) {
        result.success = false;
        result.error_message = std::string("Simulation aborted: ") +
                               wsim_kernel::stop_reason_text(reason) + " at t=" +
                               std::to_string(state.sim_time());
    }
    // Printed output that never reached the console file fails the run,
    // whatever else it did.
    if (const std::string lost = state.console_failure(); !lost.empty())
        addFailure(result, lost);
    return ran;
}

std::string WexlaCore::stopReasonOfRun(bool built) const {
    if (!built)
        return "none";
    auto& state = wsim_kernel::sim_state::instance();
    // A design without processes has nothing to run: it is out of events at once.
    if (state.all_processes().empty())
        return "no more events";
    return wsim_kernel::stop_reason_text(state.stop_reason());
}

void WexlaCore::captureSimulationOutput() {
    auto& recorder = wsim_timeseries::TimeSeriesDB::instance();
    auto& state = wsim_kernel::sim_state::instance();
    result.recorded_until = recorder.recorded_until();
    if (documentWanted)
        result.simulation_json = recorder.to_json(result.success, result.error_message,
                                                  state.sim_time(), result.meta());

    if (Database::configured()) {
        const std::string path = Database::instance().get_path();
        sqlite3* conn = nullptr;
        if (sqlite3_open(path.c_str(), &conn) != SQLITE_OK)
            std::cerr << "Cannot open database '" << path << "': " << sqlite3_errmsg(conn) << "\n";
        sqlite3_close(conn);
    }

    result.total_changes = recorder.get_total_changes();
    result.final_time = state.sim_time();
}

SimulationResult WexlaCore::simulate() {
    return on_large_stack([this] { return simulateActiveRoad(); });
}

SimulationResult WexlaCore::simulateProject() {
    if (compileStatus != 0)
        textRoad = false;
    return simulate();
}

SimulationResult WexlaCore::runProject() {
    documentWanted = false;
    ScopeExit wantedAgain([this] { documentWanted = true; });
    return simulateProject();
}

SimulationResult WexlaCore::simulateActiveRoad() {
    // A text run keeps to memory: the project's tables hold the project's run.
    auto& recorder = wsim_timeseries::TimeSeriesDB::instance();
    std::optional<FailedWrites> failed;
    if (!textRoad)
        failed.emplace(Database::instance());
    recorder.set_database_writes(!textRoad);
    recorder.clear();
    wsim_kernel::sim_state::instance().clear();
    if (!textRoad) {
        Database::instance().purge("timeline");
        Database::instance().purge("queuestate");
        // The run's model writes the rows of the properties it holds; an
        // earlier injection's would name properties this run does not have.
        Database::instance().purge("properties");
    }

    result = SimulationResult{};
    result.success = true;
    bool built = false;
    if (textRoad && !Database::configured()) {
        result.success = false;
        result.error_message = kNoProjectError;
        std::cerr << "[CORE] " << result.error_message << "\n";
    } else if (!textRoad && projectFailedToCompile()) {
        result.success = false;
        result.error_message = notCompiledError();
        std::cerr << "[CORE] " << result.error_message << "\n";
    } else if (textRoad ? (textTree || parseVerilog()) : projectTree != nullptr) {
        built = buildSimulationModel();
        if (built)
            runSimulation();
    }
    result.stop_reason = stopReasonOfRun(built);
    if (failed)
        failOnLostRows(result, *failed, "the run's rows");
    captureSimulationOutput();
    return result;
}

std::string WexlaCore::compile(const std::vector<std::string>& pathlist) {
    return on_large_stack([&] { return compileHere(pathlist); });
}

std::string WexlaCore::compileHere(const std::vector<std::string>& pathlist) {
    try {
        Database::instance().dumpMemoryContents();
        CompilationResult& diagnostics = CompilationResult::instance();
        ElaboratedDesign elaborated;
        const std::string error_json = diagnostics.get_compile_diagnostics(pathlist, &elaborated);
        // The project is what the host compiled last, whatever text ran before.
        compileStatus = diagnostics.get_status_code();
        textRoad = false;
        if (compileStatus != 200)
            return error_json;

        // The diagnostics' parse and elaboration serve the export and the model.
        auto analysis = std::make_unique<Analysis>(pathlist);
        auto tree = elaborated.tree ? analysis->adopt(elaborated.tree) : analysis->parse();
        if (!tree)
            throw std::runtime_error("the sources could not be parsed");
        if (*tree != elaborated.tree)
            elaborated.compilation.reset();
        analysisBuilder = std::move(analysis);
        useProjectTree(*tree);
        const FailedWrites failed(Database::instance());
        Database::instance().insertReferencedFiles(filesOfTree(**tree));
        exportDesignStructure(*tree, std::move(elaborated.compilation));

        result = SimulationResult{};
        result.success = true;
        result.simulation_json = error_json;
        failOnLostRows(result, failed, "the design's rows");
        if (!result.success) {
            compileStatus = 501;
            result.simulation_json = diagnostics.add_error(result.error_message);
        }
        return result.simulation_json;
    } catch (const std::exception& e) {
        compileStatus = 501;
        result.success = false;
        result.error_message = std::string("Parse exception: ") + e.what();
        result.simulation_json =
            "{\"status\": 501, \"error\": \" " + json_escape(result.error_message) + " \"}";
        return result.simulation_json;
    }
}

void WexlaCore::exportDesignStructure(std::shared_ptr<slang::syntax::SyntaxTree> tree,
                                      std::unique_ptr<slang::ast::Compilation> elaborated) {
    // The old design's rows, and the run recorded against them, go first: ids
    // start again from 0 for every compile. The working hierarchy is held by
    // id, so it is found again by its path among the new rows.
    const std::string working = Database::instance().instancePathOf(
        Database::instance().getCurrentHierarchy());
    Database::instance().purgeTogether({"modules", "instances", "signals", "timeline",
                                        "queuestate", "propertytimeline", "assertionevents"});
    wsim_timeseries::TimeSeriesDB::instance().set_database_writes(true);
    wsim_timeseries::TimeSeriesDB::instance().clear();
    wsim_kernel::sim_state::instance().clear();

    cfg_builder.reset();
    cfgTree = tree;
    cfg_builder = std::make_unique<CFGBuilder>(&cfgTree->sourceManager());
    compilation.reset();
    compilation = std::move(elaborated);
    if (!compilation) {
        compilation = std::make_unique<slang::ast::Compilation>();
        compilation->addSyntaxTree(cfgTree);
    }
    compiledTree = cfgTree.get();
    sizeParameterLiterals(cfgTree);
    const auto& root = compilation->getRoot();
    // Its rows land in one transaction: a row each on its own would be a commit each.
    Database& db = Database::instance();
    const bool batched = db.exec_sql("BEGIN TRANSACTION;");
    root.visit(*cfg_builder);
    for (const auto* top : root.topInstances)
        cfg_builder->elaborateInstanceTree(*top, -1, "");
    if (batched && !db.exec_sql("COMMIT;"))
        db.exec_sql("ROLLBACK;");
    if (!working.empty())
        db.setCurrentHierarchy(db.findInstanceIDByPath(working));
}

std::string WexlaCore::getModuleByName(const std::string& n) {
    if (!cfg_builder)
        return "{\"status\": 500, \"error\": \"Compilation has not been done!\", \"modules\": {} }";
    try {
        const std::string s = on_large_stack([&] { return cfg_builder->getModuleByName(n); });
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
        // The run goes on only once what it recorded so far is safe in the file.
        std::string why;
        if (!Database::instance().save(&why))
            throw std::runtime_error("the project database could not be saved to " +
                                     std::string(Database::instance().get_path()) +
                                     " before the run went on: " + why);
        const FailedWrites failed(Database::instance());
        state.resume_simulation();
        // The kernel's progress lines stay off the host's standard output.
        CappedOutput kernelLog;
        run_on_large_stack([&state, &kernelLog] {
            const CaptureStdout capture(kernelLog);
            state.run();
        });
        if (const std::string lost = state.console_failure(); !lost.empty())
            throw std::runtime_error(lost);
        if (failed.count())
            throw std::runtime_error(lostRows("the rows of the run that went on", failed));
    }
    return Database::instance().getTimelineForInstanceListByStep(inst_list, cursor);
}

std::string WexlaCore::stepBackward(const std::vector<int>& inst_list, int cursor) {
    return Database::instance().getTimelineForInstanceListByStep(inst_list, cursor);
}

SimulationResult WexlaCore::injectAndSimulate(const std::vector<Query>& qlist) {
    run_on_large_stack([&] { injectAndSimulateHere(qlist); });
    return result;
}

void WexlaCore::injectAndSimulateHere(const std::vector<Query>& qlist) {
    const FailedWrites failed(Database::instance());
    auto& recorder = wsim_timeseries::TimeSeriesDB::instance();
    recorder.set_database_writes(true);
    recorder.clear();
    wsim_kernel::sim_state::instance().clear();
    // The recorder was just cleared: the tables follow it, so the injected
    // run's steps, numbered from 0, never sit beside an older run's.
    auto purgeRun = [] {
        Database& db = Database::instance();
        for (const char* table :
             {"timeline", "queuestate", "propertytimeline", "assertionevents", "properties"})
            db.purge(table);
    };
    if (!analysisBuilder) {
        std::cerr << "[CORE] INITIALIZE ANALYSIS BUILDER FIRST!! " << "\n";
        // Without this the answer would be a failure with no reason beside
        // the previous run's steps.
        purgeRun();
        result = SimulationResult{};
        result.error_message = projectFailedToCompile()
                                   ? notCompiledError()
                                   : "no project was compiled: injection needs its sources";
        Database::instance().updateSimulationOutcome(false, result.error_message, 0);
        return;
    }
    Analysis& analysis = *analysisBuilder;
    ScopeExit removeCopies([&analysis] { analysis.cleanup(); });
    result = SimulationResult{};
    result.success = true;
    try {
        purgeRun();
        bool built = false;
        if (projectFailedToCompile()) {
            result.success = false;
            result.error_message = notCompiledError();
        } else if (prepareInjectedTree(qlist)) {
            built = buildSimulationModel();
            if (built)
                runSimulation();
        }
        result.stop_reason = stopReasonOfRun(built);
        failOnLostRows(result, failed, "the run's rows");
        captureSimulationOutput();
    } catch (const std::exception& e) {
        result.success = false;
        result.error_message = e.what();
        Database::instance().updateSimulationOutcome(false, result.error_message, 0);
        throw;
    }
    analysis.cleanup();
    if (!Database::instance().updateSimulationOutcome(result.success, result.error_message,
                                                      result.final_time) &&
        result.success) {
        failOnLostRows(result, failed, "the run's outcome");
        captureSimulationOutput();
    }
}

bool WexlaCore::prepareInjectedTree(const std::vector<Query>& qlist) {
    Analysis& analysis = *analysisBuilder;
    analysis.clearFileList();
    if (!analysis.inject(qlist)) {
        result.success = false;
        result.error_message = "injection failed: " + analysis.getFailureReason();
        return false;
    }
    const std::string json = analysis.getErrorJSON();
    // The parse below would recurse through a too deeply nested copy.
    if (auto excess = nesting::scanFiles(analysis.getFileList())) {
        result.success = false;
        result.error_message = excess->describe();
        return false;
    }
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
    useProjectTree(*tree, analysis.getCopySources());
    return true;
}
