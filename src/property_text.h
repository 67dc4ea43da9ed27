// An injected property goes into a copy of its source as one line,
// "<label>: <text>", inside the module that holds the line. Only text that is
// one assertion item there is taken: text that closed the module could define
// modules of its own, and they would run while the property went unjudged.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace slang {
class SourceManager;
namespace syntax {
struct DefineDirectiveSyntax;
}
} // namespace slang

// Why "<label>: <text>" is not one labelled assertion item (assert, assume or
// cover property, cover sequence, or a deferred immediate assertion), or
// nullopt. Compiler directives other than macro invocations
// are refused; macros expand as `macros` (the design's, living in `manager`,
// which keeps the text checked) define them.
std::optional<std::string> assertionItemProblem(
    std::string_view label, std::string_view text, slang::SourceManager& manager,
    std::span<const slang::syntax::DefineDirectiveSyntax* const> macros);
