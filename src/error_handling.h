// Compiler diagnostics for a list of source files, reported as JSON with a
// status code: 200 clean or warnings only, 498 empty list, 499 a file that
// cannot be loaded, 501 at least one error.
#pragma once

#include <slang/diagnostics/DiagnosticClient.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace slang {
class JsonWriter;
}

// Sorts what a diagnostic engine reports into errors and warnings.
class custom_diag_client : public slang::DiagnosticClient {
public:
    struct entry {
        std::string severity;
        std::string message;  // severity word + ": " + formatted text
        std::string file;     // absolute path, or "" without a file location
        size_t line = 0;      // 1-based, 0 without a file location
        size_t column = 0;    // 1-based, 0 without a file location
    };

    ~custom_diag_client() override = default;
    void report(const slang::ReportedDiagnostic& diag) override;
    // An error found by the engine itself rather than by slang.
    void add_error(entry e);

    const std::vector<entry>& get_errors() const { return errors; }
    const std::vector<entry>& get_warnings() const { return warnings; }
    int get_status() const { return status_code; }

private:
    void locate(entry& e, slang::SourceLocation loc) const;

    std::vector<entry> errors;
    std::vector<entry> warnings;
    int status_code = 200;
};

namespace slang::syntax {
class SyntaxTree;
}
namespace slang::ast {
class Compilation;
}

// The tree and the elaborated compilation of a file list without errors, for
// a caller that goes on with the same design.
struct ElaboratedDesign {
    std::shared_ptr<slang::syntax::SyntaxTree> tree;  // keeps its source manager alive
    std::unique_ptr<slang::ast::Compilation> compilation;
    ElaboratedDesign();
    ~ElaboratedDesign();
};

// Runs one side compilation of a file list and keeps the status of the last run.
class CompilationResult {
public:
    static CompilationResult& instance();
    CompilationResult(const CompilationResult&) = delete;
    CompilationResult& operator=(const CompilationResult&) = delete;

    int get_status_code() const { return status_code; }

    // With `keep`, a list without errors leaves its tree and compilation there.
    // A path that is no readable source (source_files.h) answers 499 with an
    // error naming it.
    std::string get_compile_diagnostics(const std::vector<std::string>& file_paths,
                                        ElaboratedDesign* keep = nullptr);
    // The last answer with one more error, found after the diagnostics (the
    // design's rows could not be stored, say): its status becomes 501.
    std::string add_error(const std::string& description);

private:
    constexpr CompilationResult() = default;

    std::string respond(int status);
    std::string build_response(const custom_diag_client* client) const;
    static void write_entries(slang::JsonWriter& w,
                              const std::vector<custom_diag_client::entry>& entries);

    int status_code = 200;
    std::string json;
    // What the last answer listed.
    std::shared_ptr<custom_diag_client> client;
};
