#include "property_text.h"

#include "nesting_limits.h"

#include <slang/diagnostics/Diagnostics.h>
#include <slang/parsing/Lexer.h>
#include <slang/parsing/Token.h>
#include <slang/syntax/AllSyntax.h>
#include <slang/syntax/SyntaxTree.h>
#include <slang/text/SourceManager.h>
#include <slang/util/BumpAllocator.h>

#include <exception>

using slang::parsing::TokenKind;
using slang::syntax::SyntaxKind;

namespace {

// A `define or `include would reach past the item into the rest of the file.
std::optional<std::string> directiveIn(std::string_view text) {
    slang::SourceManager manager;
    slang::BumpAllocator alloc;
    slang::Diagnostics diagnostics;  // the parse reports them
    slang::parsing::Lexer lexer(manager.assignText(text), alloc, diagnostics, manager);
    for (auto token = lexer.lex(); token.kind != TokenKind::EndOfFile; token = lexer.lex()) {
        if (token.kind == TokenKind::Directive && token.directiveKind() != SyntaxKind::MacroUsage)
            return "it holds the compiler directive " + std::string(token.rawText()) +
                   "; only macros may be used";
    }
    return std::nullopt;
}

bool isAssertionItem(const slang::syntax::MemberSyntax& member) {
    using namespace slang::syntax;
    if (member.kind == SyntaxKind::ConcurrentAssertionMember)
        return member.as<ConcurrentAssertionMemberSyntax>().statement->label != nullptr;
    if (member.kind == SyntaxKind::ImmediateAssertionMember)
        return member.as<ImmediateAssertionMemberSyntax>().statement->label != nullptr;
    return false;
}

// The single module the check text parses to, or null.
const slang::syntax::ModuleDeclarationSyntax* onlyModule(const slang::syntax::SyntaxNode& root) {
    using namespace slang::syntax;
    if (root.kind == SyntaxKind::ModuleDeclaration)
        return &root.as<ModuleDeclarationSyntax>();
    if (root.kind != SyntaxKind::CompilationUnit)
        return nullptr;
    const auto& members = root.as<CompilationUnitSyntax>().members;
    if (members.size() != 1 || members[0]->kind != SyntaxKind::ModuleDeclaration)
        return nullptr;
    return &members[0]->as<ModuleDeclarationSyntax>();
}

} // namespace

std::optional<std::string> assertionItemProblem(
    std::string_view label, std::string_view text, slang::SourceManager& manager,
    std::span<const slang::syntax::DefineDirectiveSyntax* const> macros) {
    const std::string item = std::string(label) + ": " + std::string(text);
    if (auto directive = directiveIn(item))
        return directive;
    const std::string module = "module wexla_property_check;\n" + item + "\nendmodule\n";
    if (auto excess = nesting::scanText(module))
        return excess->message;
    try {
        auto tree = slang::syntax::SyntaxTree::fromBuffer(manager.assignText(module), manager,
                                                          nesting::parseOptions(), macros);
        for (const auto& diag : tree->diagnostics())
            if (diag.isError())
                return "it does not parse as one assertion item (" +
                       std::string(slang::toString(diag.code)) + ")";
        const auto* holder = onlyModule(tree->root());
        if (!holder || holder->members.size() != 1 || !isAssertionItem(*holder->members[0]))
            return std::string("it is not one labelled assertion item (assert, assume or cover "
                               "property, for one)");
    } catch (const std::exception&) {
        return std::string("it nests too deeply to be parsed");
    }
    return std::nullopt;
}
