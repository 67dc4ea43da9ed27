#include "expansion_limit.h"

#include "source_files.h"

#include <slang/diagnostics/Diagnostics.h>
#include <slang/parsing/Lexer.h>
#include <slang/parsing/Token.h>
#include <slang/syntax/SyntaxKind.h>
#include <slang/text/SourceManager.h>
#include <slang/util/BumpAllocator.h>

#include <algorithm>
#include <map>
#include <set>
#include <span>
#include <string>
#include <string_view>

using slang::SourceLocation;
using slang::parsing::Lexer;
using slang::parsing::Token;
using slang::parsing::TokenKind;
using slang::syntax::SyntaxKind;

namespace nesting {

namespace {

// Any size past the limit is as good as another; sums stop there.
constexpr uint64_t kPast = kMaxExpandedBytes + 1;

uint64_t add(uint64_t a, uint64_t b) { return std::min(kPast, a + b); }

struct Macro {
    std::vector<std::string_view> formals;
    std::vector<std::vector<Token>> defaults;  // one per formal, empty when none
    std::vector<Token> body;
};

std::string_view macroName(Token usage) {
    std::string_view text = usage.rawText();
    return text.empty() ? text : text.substr(1);
}

bool opens(TokenKind k) {
    return k == TokenKind::OpenParenthesis || k == TokenKind::OpenBracket ||
           k == TokenKind::OpenBrace || k == TokenKind::ApostropheOpenBrace;
}

bool closes(TokenKind k) {
    return k == TokenKind::CloseParenthesis || k == TokenKind::CloseBracket ||
           k == TokenKind::CloseBrace;
}

// A stream of tokens: from the lexer of a file, or from a list already read.
class TokenSource {
public:
    explicit TokenSource(Lexer& lexer) : lexer_(&lexer) {}
    explicit TokenSource(std::span<const Token> tokens) : tokens_(tokens) {}

    Token next() {
        if (lexer_)
            return peeked_ ? std::exchange(peeked_, Token()) : lexer_->lex();
        return at_ < tokens_.size() ? tokens_[at_++] : Token();
    }
    Token peek() {
        if (lexer_) {
            if (!peeked_)
                peeked_ = lexer_->lex();
            return peeked_;
        }
        return at_ < tokens_.size() ? tokens_[at_] : Token();
    }

private:
    Lexer* lexer_ = nullptr;
    Token peeked_;
    std::span<const Token> tokens_;
    size_t at_ = 0;
};

// Arguments of an invocation or formals of a definition: the tokens up to the
// closing parenthesis (its opening one already read), split at the commas
// outside any inner bracket.
std::vector<std::vector<Token>> readArguments(TokenSource& in) {
    std::vector<std::vector<Token>> args(1);
    int depth = 0;
    for (Token t = in.next(); t && t.kind != TokenKind::EndOfFile; t = in.next()) {
        if (depth == 0 && t.kind == TokenKind::CloseParenthesis)
            break;
        if (depth == 0 && t.kind == TokenKind::Comma) {
            args.emplace_back();
            continue;
        }
        depth += opens(t.kind) ? 1 : closes(t.kind) ? -1 : 0;
        args.back().push_back(t);
    }
    return args;
}

class Sizer {
public:
    Sizer(slang::SourceManager& manager) : manager_(manager) {}

    std::optional<Excess> check(const std::vector<slang::SourceBuffer>& buffers) {
        for (const auto& buffer : buffers)
            if (auto excess = scanBuffer(buffer, 0))
                return excess;
        return std::nullopt;
    }

private:
    using Sizes = std::vector<uint64_t>;

    std::optional<Excess> scanBuffer(const slang::SourceBuffer& buffer, uint32_t depth) {
        Lexer lexer(buffer, alloc_, diagnostics_, manager_);
        TokenSource in(lexer);
        for (Token t = in.next(); t.kind != TokenKind::EndOfFile; t = in.next()) {
            if (t.kind != TokenKind::Directive)
                continue;
            switch (t.directiveKind()) {
            case SyntaxKind::DefineDirective:
                if (auto refusal = readDefine(lexer, in))
                    return refusal;
                break;
            case SyntaxKind::UndefDirective: define(std::string(in.next().rawText()), std::nullopt); break;
            case SyntaxKind::UndefineAllDirective:
                macros_.clear();
                memo_.clear();
                break;
            case SyntaxKind::IncludeDirective:
                if (auto excess = follow(t, in, depth))
                    return excess;
                break;
            case SyntaxKind::MacroUsage:
                if (auto excess = invoke(t, in))
                    return excess;
                break;
            default: break;
            }
        }
        return std::nullopt;
    }

    // `define NAME(formals) body: the rest of the line, line continuations
    // included. An `include in the body is checked now, in case it is expanded.
    std::optional<Excess> readDefine(Lexer& lexer, TokenSource& in) {
        const Token name = in.next();
        Macro macro;
        bool first = true;
        bool more = lexer.isNextTokenOnSameLine();
        while (more) {
            const Token t = in.next();
            if (t.kind == TokenKind::EndOfFile)
                break;
            if (first && t.kind == TokenKind::OpenParenthesis && t.trivia().empty()) {
                for (auto& formal : readArguments(in)) {
                    if (formal.empty())
                        continue;
                    macro.formals.push_back(formal[0].rawText());
                    const auto eq = std::find_if(formal.begin(), formal.end(), [](const Token& a) {
                        return a.kind == TokenKind::Equals;
                    });
                    macro.defaults.emplace_back(eq == formal.end() ? eq : eq + 1, formal.end());
                }
            } else if (t.kind != TokenKind::LineContinuation) {
                macro.body.push_back(t);
            }
            first = false;
            more = t.kind == TokenKind::LineContinuation || lexer.isNextTokenOnSameLine();
        }
        const std::vector<Token> body = macro.body;
        define(std::string(name.rawText()), std::move(macro));
        for (size_t i = 0; i < body.size(); ++i) {
            if (body[i].kind != TokenKind::Directive ||
                body[i].directiveKind() != SyntaxKind::IncludeDirective)
                continue;
            TokenSource rest(std::span<const Token>(body).subspan(i + 1));
            if (auto refusal = includeRefusal(body[i], rest))
                return refusal;
        }
        return std::nullopt;
    }

    // Sizes already taken may have used the old definition.
    void define(const std::string& name, std::optional<Macro> macro) {
        memo_.clear();
        if (macro)
            macros_[name] = std::move(*macro);
        else
            macros_.erase(name);
    }

    // Every file an `include names is checked before anything reads it, also
    // past the depth the preprocessor follows.
    std::optional<Excess> follow(Token directive, TokenSource& in, uint32_t depth) {
        const Token file = in.peek();
        if (auto refusal = includeRefusal(directive, in))
            return refusal;
        if (file.kind != TokenKind::StringLiteral || depth >= kMaxIncludeDepth)
            return std::nullopt;
        auto buffer = manager_.readHeader(file.valueText(), directive.location(), nullptr, false, {});
        if (!buffer)
            return std::nullopt;
        return scanBuffer(*buffer, depth + 1);
    }

    // Why the file named after `directive` (the next tokens of `in`) is not
    // read, as an excess at the directive.
    std::optional<Excess> includeRefusal(Token directive, TokenSource& in) {
        std::optional<std::string> problem;
        if (auto name = includeName(in.next(), 0)) {
            const auto including = manager_.getFullPath(directive.location().buffer());
            problem = source_files::includeProblem(*name, including);
        } else {
            problem = "the engine follows only a file name in quotes or angle brackets, or a "
                      "macro that stands for one";
        }
        if (!problem)
            return std::nullopt;
        Excess excess;
        excess.message = "`include not read: " + *problem;
        const SourceLocation loc = directive.location();
        excess.file = std::string(manager_.getFileName(loc));
        excess.line = manager_.getLineNumber(loc);
        excess.column = manager_.getColumnNumber(loc);
        return excess;
    }

    // The file name an `include gives in `file`: quoted, in angle brackets
    // (read from the text: the lexer splits it), or through a macro defined
    // as one of those. "" for a macro not (yet) defined, which names no file.
    std::optional<std::string> includeName(Token file, int through) {
        const std::string_view raw = file.rawText();
        if (file.kind == TokenKind::StringLiteral)
            return std::string(raw.substr(1, raw.size() >= 2 ? raw.size() - 2 : 0));
        if (file.kind == TokenKind::LessThan) {
            const std::string_view text = manager_.getSourceText(file.location().buffer());
            const size_t from = file.location().offset() + 1;
            const size_t end = text.find_first_of(">\r\n", std::min(from, text.size()));
            return std::string(text.substr(from, end == std::string_view::npos ? end : end - from));
        }
        if (file.kind != TokenKind::Directive || file.directiveKind() != SyntaxKind::MacroUsage ||
            through > 8)
            return std::nullopt;
        const auto it = macros_.find(macroName(file));
        if (it == macros_.end())
            return std::string();
        if (!it->second.formals.empty() || it->second.body.size() != 1)
            return std::nullopt;
        return includeName(it->second.body.front(), through + 1);
    }

    std::optional<Excess> invoke(Token usage, TokenSource& in) {
        const uint64_t size = usageSize(usage, in, {}, {});
        expanded_ = add(expanded_, size);
        if (expanded_ <= kMaxExpandedBytes && !gave_up_)
            return std::nullopt;
        Excess excess;
        const std::string name(macroName(usage));
        excess.message = gave_up_
                             ? "macro expansion limit exceeded: `" + name +
                                   " cannot be sized within " +
                                   std::to_string(kMaxSizingSteps) + " steps"
                             : "macro expansion limit exceeded: the expansions up to `" + name +
                                   " produce more than " + std::to_string(kMaxExpandedBytes) +
                                   " bytes of text";
        const SourceLocation loc = usage.location();
        excess.file = std::string(manager_.getFileName(loc));
        excess.line = manager_.getLineNumber(loc);
        excess.column = manager_.getColumnNumber(loc);
        return excess;
    }

    // What a macro invocation expands to; the arguments, when the macro takes
    // any, are read from `in`. Formals of an enclosing macro read as their sizes.
    uint64_t usageSize(Token usage, TokenSource& in, const std::vector<std::string_view>& formals,
                       const Sizes& sizes) {
        const auto it = macros_.find(macroName(usage));
        if (it == macros_.end() || active_.count(&it->second))
            return usage.rawText().size() + 1;
        const Macro& macro = it->second;
        Sizes args;
        if (!macro.formals.empty()) {
            std::vector<std::vector<Token>> actual;
            if (in.peek().kind == TokenKind::OpenParenthesis) {
                in.next();
                actual = readArguments(in);
            }
            for (size_t i = 0; i < macro.formals.size(); ++i) {
                const auto& tokens = i < actual.size() && !actual[i].empty() ? actual[i]
                                                                               : macro.defaults[i];
                args.push_back(tokensSize(tokens, formals, sizes));
            }
        }
        const auto key = std::make_pair(&macro, args);
        if (auto known = memo_.find(key); known != memo_.end())
            return known->second;
        active_.insert(&macro);
        const uint64_t size = tokensSize(macro.body, macro.formals, args);
        active_.erase(&macro);
        memo_[key] = size;
        return size;
    }

    uint64_t tokensSize(std::span<const Token> tokens, const std::vector<std::string_view>& formals,
                        const Sizes& sizes) {
        TokenSource in(tokens);
        uint64_t total = 0;
        // Past the limit the rest cannot matter.
        for (Token t = in.next(); t && total < kPast && !gave_up_; t = in.next()) {
            if (++steps_ > kMaxSizingSteps) {
                gave_up_ = true;
                return kPast;
            }
            if (t.kind == TokenKind::Directive && t.directiveKind() == SyntaxKind::MacroUsage) {
                total = add(total, usageSize(t, in, formals, sizes));
                continue;
            }
            const auto f = std::find(formals.begin(), formals.end(), t.rawText());
            total = add(total, f != formals.end() ? sizes[static_cast<size_t>(f - formals.begin())]
                                                  : t.rawText().size() + 1);
        }
        return total;
    }

    slang::SourceManager& manager_;
    slang::BumpAllocator alloc_;
    slang::Diagnostics diagnostics_;  // the parse reports them
    std::map<std::string, Macro, std::less<>> macros_;
    std::map<std::pair<const Macro*, Sizes>, uint64_t> memo_;
    std::set<const Macro*> active_;
    uint64_t expanded_ = 0;
    uint64_t steps_ = 0;
    bool gave_up_ = false;
};

} // namespace

std::optional<Excess> checkExpansions(slang::SourceManager& manager,
                                      const std::vector<slang::SourceBuffer>& buffers) {
    return Sizer(manager).check(buffers);
}

} // namespace nesting
