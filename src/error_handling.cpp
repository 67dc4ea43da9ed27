#include "error_handling.h"

#include "nesting_limits.h"
#include "source_files.h"

#include <slang/ast/Compilation.h>
#include <slang/diagnostics/DiagnosticEngine.h>
#include <slang/syntax/SyntaxTree.h>
#include <slang/text/Json.h>
#include <slang/text/SourceManager.h>

#include <filesystem>
#include <memory>
#include <optional>

namespace {

std::string severity_word(slang::DiagnosticSeverity severity) {
    switch (severity) {
    case slang::DiagnosticSeverity::Note: return "note";
    case slang::DiagnosticSeverity::Warning: return "warning";
    case slang::DiagnosticSeverity::Error: return "error";
    case slang::DiagnosticSeverity::Fatal: return "fatal";
    default: return "unknown";
    }
}

// An empty or unresolvable path answers nothing instead of throwing.
std::optional<std::filesystem::path> absolute_path(std::string_view path) {
    std::error_code ec;
    auto abs = std::filesystem::absolute(std::filesystem::path(path), ec);
    if (ec)
        return std::nullopt;
    return abs;
}

custom_diag_client::entry nestingError(const nesting::Excess& excess) {
    custom_diag_client::entry e;
    e.severity = "error";
    e.message = "error: " + excess.message;
    if (auto abs = absolute_path(excess.file); abs && !excess.file.empty())
        e.file = abs->lexically_normal().string();
    e.line = excess.line;
    e.column = excess.column;
    return e;
}

} // namespace

void custom_diag_client::add_error(entry e) {
    status_code = 501;
    errors.push_back(std::move(e));
}

void custom_diag_client::report(const slang::ReportedDiagnostic& diag) {
    if (diag.severity == slang::DiagnosticSeverity::Ignored)
        return;

    entry e;
    e.severity = severity_word(diag.severity);
    e.message = e.severity + ": " + std::string(diag.formattedMessage);
    locate(e, diag.location);

    if (e.severity == "error" || e.severity == "fatal") {
        status_code = 501;
        errors.push_back(std::move(e));
    } else {
        warnings.push_back(std::move(e));
    }
}

void custom_diag_client::locate(entry& e, slang::SourceLocation loc) const {
    if (!loc.valid() || !sourceManager)
        return;
    loc = sourceManager->getFullyExpandedLoc(loc);
    if (!sourceManager->isFileLoc(loc))
        return;
    // The manager names files from its canonical paths relative to the
    // working directory ("../../x.sv"), so normalising keeps the same file.
    if (auto abs = absolute_path(sourceManager->getFileName(loc)))
        e.file = abs->lexically_normal().string();
    e.line = sourceManager->getLineNumber(loc);
    e.column = sourceManager->getColumnNumber(loc);
}

CompilationResult& CompilationResult::instance() {
    static CompilationResult result;
    return result;
}

ElaboratedDesign::ElaboratedDesign() = default;
ElaboratedDesign::~ElaboratedDesign() = default;

std::string CompilationResult::get_compile_diagnostics(const std::vector<std::string>& file_paths,
                                                       ElaboratedDesign* keep) {
    client = std::make_shared<custom_diag_client>();
    if (file_paths.empty())
        return respond(498);

    std::vector<std::string> absolute_paths;
    for (const auto& path : file_paths) {
        auto abs = absolute_path(path);
        const auto problem = abs ? source_files::problemWith(*abs)
                                 : std::optional<std::string>("the path is empty or no path");
        if (problem) {
            custom_diag_client::entry e;
            e.severity = "error";
            e.message = "error: cannot read source \"" + path + "\": " + *problem;
            e.file = abs ? abs->lexically_normal().string() : path;
            client->add_error(std::move(e));
            return respond(499);
        }
        absolute_paths.push_back(abs->string());
    }

    // A design nested beyond the engine's limit is refused before slang
    // recurses through it.
    const auto refuse = [&](const nesting::Excess& excess) {
        client->add_error(nestingError(excess));
        return respond(client->get_status());
    };
    if (auto excess = nesting::scanFiles(absolute_paths))
        return refuse(*excess);

    // One tree for the whole list, as the design itself is parsed: macros,
    // `timescale and `default_nettype carry from one file to the next.
    std::vector<std::string_view> views(absolute_paths.begin(), absolute_paths.end());
    auto sourceManager = std::make_shared<slang::SourceManager>();
    auto tree = slang::syntax::SyntaxTree::fromFiles(views, *sourceManager, nesting::parseOptions());
    if (!tree) {
        custom_diag_client::entry e;
        e.severity = "error";
        e.message = "error: cannot read source " + std::string(tree.error().second) + ": " +
                    tree.error().first.message();
        e.file = std::string(tree.error().second);
        client->add_error(std::move(e));
        return respond(499);
    }
    if (auto excess = nesting::checkTree(**tree))
        return refuse(*excess);
    // The tree holds the manager it points into: whoever keeps one keeps both.
    struct TreeWithManager {
        std::shared_ptr<slang::SourceManager> manager;
        std::shared_ptr<slang::syntax::SyntaxTree> tree;
    };
    auto both = std::make_shared<TreeWithManager>(TreeWithManager{sourceManager, *tree});
    std::shared_ptr<slang::syntax::SyntaxTree> held(both, both->tree.get());
    auto compilation = std::make_unique<slang::ast::Compilation>();
    compilation->addSyntaxTree(held);

    slang::DiagnosticEngine engine(*sourceManager);
    engine.addClient(client);
    for (const auto& diag : compilation->getAllDiagnostics())
        engine.issue(diag);

    respond(client->get_status());
    if (keep && status_code == 200) {
        keep->tree = held;
        keep->compilation = std::move(compilation);
    }
    return json;
}

std::string CompilationResult::add_error(const std::string& description) {
    if (!client)
        client = std::make_shared<custom_diag_client>();
    custom_diag_client::entry e;
    e.severity = "error";
    e.message = "error: " + description;
    client->add_error(std::move(e));
    return respond(client->get_status());
}

std::string CompilationResult::respond(int status) {
    status_code = status;
    json = build_response(client.get());
    return json;
}

std::string CompilationResult::build_response(const custom_diag_client* client) const {
    slang::JsonWriter w;
    w.setPrettyPrint(true);
    w.startObject();
    w.writeProperty("status");
    w.writeValue(static_cast<int64_t>(status_code));
    w.writeProperty("errors");
    w.startArray();
    if (client)
        write_entries(w, client->get_errors());
    w.endArray();
    w.writeProperty("warnings");
    w.startArray();
    if (client)
        write_entries(w, client->get_warnings());
    w.endArray();
    w.endObject();
    return std::string(w.view());
}

void CompilationResult::write_entries(slang::JsonWriter& w,
                                      const std::vector<custom_diag_client::entry>& entries) {
    for (const auto& e : entries) {
        w.startObject();
        w.writeProperty("description");
        w.writeValue(e.message);
        w.writeProperty("file_name");
        w.writeValue(e.file);
        w.writeProperty("line");
        w.writeValue(static_cast<uint64_t>(e.line));
        w.writeProperty("column");
        w.writeValue(static_cast<uint64_t>(e.column));
        w.endObject();
    }
}
