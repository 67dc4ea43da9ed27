#include "lsp.h"

#include <slang/diagnostics/Diagnostics.h>
#include <slang/parsing/Lexer.h>
#include <slang/parsing/LexerFacts.h>
#include <slang/parsing/Token.h>
#include <slang/text/SourceManager.h>
#include <slang/util/BumpAllocator.h>

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
    for (size_t in_batch = 1;; ++in_batch) {
        auto token = lexer.lex();
        auto loc = token.location();
        // Only real keywords are typed from their kind: an identifier spelled
        // like a type name must stay an identifier.
        int type = LexerFacts::isKeyword(token.kind)
                       ? get_vscode_token_type("keyword")
                       : get_int_vscode_type(VSCODE_TOKEN_TYPE::Identifier);
        tokens.push_back({static_cast<int>(sourceManager.getLineNumber(loc)) - 1,
                          static_cast<int>(sourceManager.getColumnNumber(loc)) - 1,
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
