#include "nesting_limits.h"

#include "expansion_limit.h"

#include <slang/diagnostics/Diagnostics.h>
#include <slang/parsing/Preprocessor.h>
#include <slang/parsing/Token.h>
#include <slang/syntax/SyntaxNode.h>
#include <slang/syntax/SyntaxTree.h>
#include <slang/text/SourceManager.h>
#include <slang/util/BumpAllocator.h>

using slang::SourceLocation;
using slang::SourceManager;
using slang::parsing::Token;
using slang::parsing::TokenKind;

namespace nesting {

slang::Bag parseOptions() {
    slang::parsing::PreprocessorOptions preprocessing;
    preprocessing.maxIncludeDepth = kMaxIncludeDepth;
    slang::Bag options;
    options.set(preprocessing);
    return options;
}

namespace {

Excess excessAt(const SourceManager& manager, SourceLocation loc, std::string message) {
    Excess excess;
    excess.message = std::move(message);
    if (loc.valid()) {
        loc = manager.getFullyExpandedLoc(loc);
        excess.file = std::string(manager.getFileName(loc));
        excess.line = manager.getLineNumber(loc);
        excess.column = manager.getColumnNumber(loc);
    }
    return excess;
}

enum class Family { Paren, Bracket, Brace, Begin, Fork, Case, Generate, Module, Class };

// Only constructs that always close are counted, so that a correct design of
// any size never piles up levels it does not have.
std::optional<Family> opened(TokenKind kind, TokenKind previous) {
    switch (kind) {
    case TokenKind::OpenParenthesis: return Family::Paren;
    case TokenKind::OpenBracket: return Family::Bracket;
    case TokenKind::OpenBrace:
    case TokenKind::ApostropheOpenBrace: return Family::Brace;
    case TokenKind::BeginKeyword: return Family::Begin;
    case TokenKind::ForkKeyword:
        if (previous == TokenKind::DisableKeyword || previous == TokenKind::WaitKeyword)
            return std::nullopt;
        return Family::Fork;
    case TokenKind::CaseKeyword:
    case TokenKind::CaseXKeyword:
    case TokenKind::CaseZKeyword:
    case TokenKind::RandCaseKeyword: return Family::Case;
    case TokenKind::GenerateKeyword: return Family::Generate;
    case TokenKind::ModuleKeyword:
    case TokenKind::MacromoduleKeyword:
        if (previous == TokenKind::ExternKeyword)
            return std::nullopt;
        return Family::Module;
    case TokenKind::ClassKeyword:
        if (previous == TokenKind::TypedefKeyword)
            return std::nullopt;
        return Family::Class;
    default: return std::nullopt;
    }
}

// The family a token closes, and whether it ends a block (which also ends the
// branch that led into the block).
std::optional<std::pair<Family, bool>> closed(TokenKind kind) {
    switch (kind) {
    case TokenKind::CloseParenthesis: return std::pair{Family::Paren, false};
    case TokenKind::CloseBracket: return std::pair{Family::Bracket, false};
    case TokenKind::CloseBrace: return std::pair{Family::Brace, false};
    case TokenKind::EndKeyword: return std::pair{Family::Begin, true};
    case TokenKind::JoinKeyword:
    case TokenKind::JoinAnyKeyword:
    case TokenKind::JoinNoneKeyword: return std::pair{Family::Fork, true};
    case TokenKind::EndCaseKeyword: return std::pair{Family::Case, true};
    case TokenKind::EndGenerateKeyword: return std::pair{Family::Generate, true};
    case TokenKind::EndModuleKeyword: return std::pair{Family::Module, true};
    case TokenKind::EndClassKeyword: return std::pair{Family::Class, true};
    default: return std::nullopt;
    }
}

bool isBranch(TokenKind kind) {
    return kind == TokenKind::IfKeyword || kind == TokenKind::ElseKeyword ||
           kind == TokenKind::ForKeyword;
}

// Counts, at every token, the open blocks and brackets plus the branches
// (if, else, for) still waiting for their body to end: an upper bound on how
// deep the parser recurses there, whether or not slang guards that recursion.
// An else-if chain counts as deep as it is long, as the parser nests it.
class NestingCounter {
public:
    // False once the depth passes the limit.
    bool take(TokenKind kind, TokenKind next) {
        if (auto family = opened(kind, previous_)) {
            frames_.push_back({*family, 0});
            ++depth_;
        } else if (auto closing = closed(kind)) {
            if (frames_.size() > 1 && frames_.back().family == closing->first) {
                depth_ -= 1 + frames_.back().branches;
                frames_.pop_back();
                if (closing->second)
                    endBranches(next);
            }
        } else if (isBranch(kind)) {
            ++frames_.back().branches;
            ++depth_;
        } else if (kind == TokenKind::Semicolon) {
            endBranches(next);
        }
        previous_ = kind;
        return depth_ <= kMaxNesting;
    }

private:
    struct Frame {
        Family family;
        size_t branches;
    };

    // A body ended: its branches end with it, unless an else carries them on.
    void endBranches(TokenKind next) {
        if (next == TokenKind::ElseKeyword)
            return;
        depth_ -= frames_.back().branches;
        frames_.back().branches = 0;
    }

    // The bottom frame stands for the file level and is never closed.
    std::vector<Frame> frames_{{Family::Module, 0}};
    size_t depth_ = 0;
    TokenKind previous_ = TokenKind::Unknown;
};

std::optional<Excess> scanBuffers(SourceManager& manager,
                                  const std::vector<slang::SourceBuffer>& buffers) {
    if (buffers.empty())
        return std::nullopt;
    // Before the preprocessor: it expands a macro whole as it reaches it.
    if (auto excess = checkExpansions(manager, buffers))
        return excess;
    slang::BumpAllocator alloc;
    slang::Diagnostics diagnostics;  // the parse reports them
    slang::parsing::Preprocessor preprocessor(manager, alloc, diagnostics, parseOptions());
    for (auto it = buffers.rbegin(); it != buffers.rend(); ++it)
        preprocessor.pushSource(*it);

    NestingCounter counter;
    Token token = preprocessor.next();
    while (token.kind != TokenKind::EndOfFile) {
        const Token next = preprocessor.next();
        if (!counter.take(token.kind, next.kind))
            return excessAt(manager, token.location(),
                            limitMessage("blocks, brackets or branches"));
        token = next;
    }
    return std::nullopt;
}

} // namespace

std::string Excess::describe() const {
    if (file.empty())
        return message;
    return message + " (" + file + ":" + std::to_string(line) + ":" + std::to_string(column) + ")";
}

std::string limitMessage(std::string_view what) {
    return "nesting limit exceeded: " + std::string(what) + " nested more than " +
           std::to_string(kMaxNesting) + " levels deep";
}

std::optional<Excess> scanFiles(const std::vector<std::string>& paths) {
    SourceManager manager;
    std::vector<slang::SourceBuffer> buffers;
    for (const std::string& path : paths) {
        auto buffer = manager.readSource(path, nullptr);
        if (!buffer)
            return std::nullopt;
        buffers.push_back(*buffer);
    }
    return scanBuffers(manager, buffers);
}

std::optional<Excess> scanText(std::string_view text) {
    SourceManager manager;
    slang::SourceBuffer buffer = manager.assignText(text);
    if (!buffer)
        return std::nullopt;
    manager.addLineDirective(SourceLocation(buffer.id, 0), 2, "source", 0);
    return scanBuffers(manager, {buffer});
}

std::optional<Excess> checkTree(const slang::syntax::SyntaxTree& tree) {
    struct Pending {
        const slang::syntax::SyntaxNode* node;
        size_t depth;
    };
    std::vector<Pending> pending{{&tree.root(), 1}};
    SourceLocation lastSeen;
    while (!pending.empty()) {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        const size_t count = node->getChildCount();
        // The way down passes the tokens of the enclosing nodes: the last one
        // seen is where a too deep node sits.
        for (size_t i = 0; i < count; ++i) {
            if (const Token token = node->childToken(i); token && token.location().valid()) {
                lastSeen = token.location();
                break;
            }
        }
        if (depth > kMaxNesting)
            return excessAt(tree.sourceManager(), lastSeen,
                            limitMessage("expressions or constructs (one level per operator "
                                         "of a chain)"));
        for (size_t i = count; i-- > 0;) {
            if (const auto* child = node->childNode(i))
                pending.push_back({child, depth + 1});
        }
    }
    return std::nullopt;
}

} // namespace nesting
