// Semantic tokens for an editor: slang's lexer over a document text, one
// record per token as {line, column, length, type, modifiers}, lines and
// columns counted from 0 and lengths in bytes.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>
#include <vector>

class LSP {
public:
    enum class VSCODE_TOKEN_TYPE : int { Module = 0, Keyword = 1, Identifier = 2 };
    // {line, column, length, type, modifiers}.
    using TokenRecord = std::array<int, 5>;
    // The largest document tokenized: its records take about five times its
    // size here, and many times that as JavaScript arrays.
    static constexpr size_t kMaxDocumentBytes = size_t{32} << 20;

    static LSP& instance();
    LSP(const LSP&) = delete;
    LSP& operator=(const LSP&) = delete;

    // Memory goes with the records answered: the lexer's own allocations for
    // each token are let go as the list grows.
    std::vector<TokenRecord> getTokenList(std::string_view document) const;
    int get_vscode_token_type(std::string_view kind) const;

private:
    LSP() = default;
    static int get_int_vscode_type(VSCODE_TOKEN_TYPE p) { return static_cast<int>(p); }
};
