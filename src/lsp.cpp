#include "lsp.h"

#include <slang/diagnostics/Diagnostics.h>
#include <slang/parsing/Lexer.h>
#include <slang/parsing/LexerFacts.h>
#include <slang/parsing/Token.h>
#include <slang/text/SourceManager.h>
#include <slang/util/BumpAllocator.h>

#include <utility>

using slang::parsing::LexerFacts;
using slang::parsing::TokenKind;

LSP& LSP::instance() {
    static LSP lsp;
    return lsp;
}

int LSP::get_vscode_token_type(std::string_view kind) const {
    if (kind == "module" || kind == "endmodule")
        return get_int_vscode_type(VSCODE_TOKEN_TYPE::Module);
    if (kind == "keyword")
        return get_int_vscode_type(VSCODE_TOKEN_TYPE::Keyword);
    return get_int_vscode_type(VSCODE_TOKEN_TYPE::Identifier);
}

namespace {

// Lines and columns of ascending offsets in one walk over the text, where the
// source manager's column search would go back to the line's start for every
// token (quadratic in a line's length). Line ends are counted as the source
// manager counts them: "\n", "\r", and "\r\n" or "\n\r" as one.
class TextPosition {
public:
    explicit TextPosition(std::string_view text) : text_(text) {}

    // {line, column}, both from 0, of `offset`; offsets must not go down.
    std::pair<size_t, size_t> at(size_t offset) {
        for (; at_ < offset && at_ < text_.size(); ++at_) {
            const char c = text_[at_];
            if (c != '\n' && c != '\r')
                continue;
            if (at_ + 1 < text_.size() && at_ + 1 < offset && isPairedEnd(c, text_[at_ + 1]))
                ++at_;
            ++line_;
            line_start_ = at_ + 1;
        }
        return {line_, offset - line_start_};
    }

private:
    static bool isPairedEnd(char c, char next) {
        return (next == '\n' || next == '\r') && next != c;
    }

    std::string_view text_;
    size_t at_ = 0;
    size_t line_ = 0;
    size_t line_start_ = 0;
};

} // namespace

std::vector<LSP::TokenRecord> LSP::getTokenList(std::string_view document) const {
    slang::SourceManager sourceManager;
    slang::BumpAllocator alloc;
    slang::Diagnostics diagnostics;  // lexer complaints are not the editor's concern
    auto buffer = sourceManager.assignText(document);
    slang::parsing::Lexer lexer(buffer, alloc, diagnostics, sourceManager);

    // The lexer allocates each token's details and trivia, which nothing reads
    // once the record is taken; they are let go every this many tokens.
    constexpr size_t kBatch = 1 << 16;
    std::vector<TokenRecord> tokens;
    TextPosition position(document);
    for (size_t in_batch = 1;; ++in_batch) {
        auto token = lexer.lex();
        auto loc = token.location();
        // Only real keywords are typed from their kind: an identifier spelled
        // like a type name must stay an identifier.
        int type = LexerFacts::isKeyword(token.kind)
                       ? get_vscode_token_type("keyword")
                       : get_int_vscode_type(VSCODE_TOKEN_TYPE::Identifier);
        const auto [line, column] = position.at(loc.offset());
        tokens.push_back({static_cast<int>(line), static_cast<int>(column),
                          static_cast<int>(token.rawText().size()), type, 0});
        if (token.kind == TokenKind::EndOfFile)
            break;
        if (in_batch == kBatch) {
            alloc = slang::BumpAllocator();
            in_batch = 0;
        }
    }
    return tokens;
}
