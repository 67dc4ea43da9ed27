// Semantic tokens for an editor: slang's lexer over a document text, one
// record per token as {line, column, length, type, modifiers}, lines and
// columns counted from 0 and lengths in bytes.
#pragma once

#include <string_view>
#include <vector>

class LSP {
public:
    enum class VSCODE_TOKEN_TYPE : int { Module = 0, Keyword = 1, Identifier = 2 };

    static LSP& instance();
    LSP(const LSP&) = delete;
    LSP& operator=(const LSP&) = delete;

    std::vector<std::vector<int>> getTokenList(std::string_view document) const;
    int get_vscode_token_type(std::string_view kind) const;

private:
    LSP() = default;
    static int get_int_vscode_type(VSCODE_TOKEN_TYPE p) { return static_cast<int>(p); }
};
