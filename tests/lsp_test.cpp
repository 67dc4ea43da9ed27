#include "lsp.h"

#include <slang/diagnostics/Diagnostics.h>
#include <slang/parsing/Lexer.h>
#include <slang/parsing/LexerFacts.h>
#include <slang/text/SourceManager.h>
#include <slang/util/BumpAllocator.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using TokenList = std::vector<LSP::TokenRecord>;

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    lines.push_back("");
    return lines;
}

// Each record as "<text at its line, column and length>:<type>", so one list
// checks positions, lengths and types together.
std::vector<std::string> describe(const std::string& document, const TokenList& tokens) {
    const auto lines = splitLines(document);
    std::vector<std::string> out;
    for (const auto& t : tokens) {
        EXPECT_EQ(t.size(), 5u);
        EXPECT_EQ(t[4], 0);
        const auto& line = lines.at(static_cast<size_t>(t[0]));
        out.push_back(line.substr(static_cast<size_t>(t[1]), static_cast<size_t>(t[2])) + ":" +
                      std::to_string(t[3]));
    }
    return out;
}

} // namespace

TEST(EditorTokens, MixedTextCountsLinesAndColumnsFromZero) {
    const std::string document =
        "`timescale 1ns/1ps\n"
        "// a comment: module x;\n"
        "module counter #(parameter W = 8) (input logic clk);\n"
        "  /* block\n"
        "     comment */ reg [W-1:0] q; string s = \"hi \\\"x\\\"\";\n"
        "  always_ff @(posedge clk) q <= q + 8'hFF;\n"
        "endmodule\n";
    const auto tokens = LSP::instance().getTokenList(document);
    EXPECT_EQ(describe(document, tokens),
              (std::vector<std::string>{
                  "`timescale:2", "1ns:2", "/:2", "1ps:2",
                  "module:1", "counter:2", "#:2", "(:2", "parameter:1", "W:2", "=:2", "8:2",
                  "):2", "(:2", "input:1", "logic:1", "clk:2", "):2", ";:2",
                  "reg:1", "[:2", "W:2", "-:2", "1:2", "::2", "0:2", "]:2", "q:2", ";:2",
                  "string:1", "s:2", "=:2", "\"hi \\\"x\\\"\":2", ";:2",
                  "always_ff:1", "@:2", "(:2", "posedge:1", "clk:2", "):2", "q:2", "<=:2", "q:2",
                  "+:2", "8:2", "'h:2", "FF:2", ";:2",
                  "endmodule:1", ":2"}));
    // The end of file stands on the line after the last newline.
    EXPECT_EQ(tokens.back(), (LSP::TokenRecord{7, 0, 0, 2, 0}));

    // Every list ends with the end-of-file record; an identifier spelled like
    // the word "keyword" stays an identifier.
    EXPECT_EQ(LSP::instance().getTokenList("module keyword; endmodule"),
              (TokenList{{0, 0, 6, 1, 0}, {0, 7, 7, 2, 0}, {0, 14, 1, 2, 0}, {0, 16, 9, 1, 0},
                         {0, 25, 0, 2, 0}}));
    EXPECT_EQ(LSP::instance().getTokenList(""), (TokenList{{0, 0, 0, 2, 0}}));
}

// Junk is hammered through the module by tests/js/scenarios/bad_input.js.
TEST(EditorTokens, CarriageReturnsEndLinesToo) {
    const std::string crlf = "module m;\r\n  wire a;\r\nendmodule\r\n";
    EXPECT_EQ(describe("module m;\n  wire a;\nendmodule\n", LSP::instance().getTokenList(crlf)),
              (std::vector<std::string>{"module:1", "m:2", ";:2", "wire:1", "a:2", ";:2",
                                        "endmodule:1", ":2"}));
}

// The lexer's allocations are let go in batches of tokens; records after a
// batch ends are as right as those before.
TEST(EditorTokens, LongDocumentsKeepTheirPositionsAcrossBatches) {
    std::string document;
    for (int i = 0; i < 30000; ++i)
        document += "module m" + std::to_string(i) + "; endmodule // " + std::to_string(i) + "\n";
    const auto tokens = LSP::instance().getTokenList(document);
    ASSERT_EQ(tokens.size(), 30000u * 4 + 1);
    for (const size_t line : {0u, 16383u, 16384u, 29999u}) {
        const auto* t = &tokens[line * 4];
        const std::string name = "m" + std::to_string(line);
        EXPECT_EQ((TokenList{t[0], t[1], t[2], t[3]}),
                  (TokenList{{static_cast<int>(line), 0, 6, 1, 0},
                             {static_cast<int>(line), 7, static_cast<int>(name.size()), 2, 0},
                             {static_cast<int>(line), 7 + static_cast<int>(name.size()), 1, 2, 0},
                             {static_cast<int>(line), 9 + static_cast<int>(name.size()), 9, 1, 0}}));
    }
    EXPECT_EQ(tokens.back(), (LSP::TokenRecord{30000, 0, 0, 2, 0}));
}

// Positions are counted in one walk over the text; they agree with the source
// manager's own counting wherever lines end in "\n", "\r", "\r\n" or "\n\r",
// inside comments and strings too, and on lines of any length.
TEST(EditorTokens, PositionsAgreeWithTheSourceManagersOnAnyLineEnds) {
    const char* const pieces[] = {"a", " b1", "\n", "\r", "\r\n", "\n\r", "\n\n", "\r\r",
                                  " // c\r\n", " /* x\ry\n */", " \"s\\\n\"", "\t;", "  ",
                                  "`define M(x) x \\\n  + 1\n"};
    uint32_t seed = 12345;
    for (int round = 0; round < 200; ++round) {
        std::string document;
        for (int i = 0; i < 40; ++i) {
            seed = seed * 1103515245 + 12345;
            document += pieces[(seed >> 16) % std::size(pieces)];
        }
        slang::SourceManager manager;
        slang::BumpAllocator alloc;
        slang::Diagnostics diagnostics;
        slang::parsing::Lexer lexer(manager.assignText(document), alloc, diagnostics, manager);
        TokenList expected;
        for (auto token = lexer.lex();; token = lexer.lex()) {
            expected.push_back(
                {static_cast<int>(manager.getLineNumber(token.location())) - 1,
                 static_cast<int>(manager.getColumnNumber(token.location())) - 1,
                 static_cast<int>(token.rawText().size()),
                 slang::parsing::LexerFacts::isKeyword(token.kind) ? 1 : 2, 0});
            if (token.kind == slang::parsing::TokenKind::EndOfFile)
                break;
        }
        ASSERT_EQ(LSP::instance().getTokenList(document), expected) << document;
    }

    // One long line: its last token stands at its full column.
    std::string line;
    for (int i = 0; i < 100000; ++i)
        line += "a ";
    const auto tokens = LSP::instance().getTokenList(line + "\r\nb");
    ASSERT_EQ(tokens.size(), 100002u);
    EXPECT_EQ(tokens[99999], (LSP::TokenRecord{0, 199998, 1, 2, 0}));
    EXPECT_EQ(tokens[100000], (LSP::TokenRecord{1, 0, 1, 2, 0}));
}
