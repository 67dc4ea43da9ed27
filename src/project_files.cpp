#include "project_files.h"

#include "database.h"

#include <slang/parsing/Token.h>
#include <slang/syntax/AllSyntax.h>
#include <slang/syntax/SyntaxTree.h>
#include <slang/text/SourceManager.h>

std::vector<std::string> filesOfTree(const slang::syntax::SyntaxTree& tree) {
    using namespace slang::syntax;
    std::vector<std::string> paths;
    const slang::SourceManager& manager = tree.sourceManager();
    for (const slang::BufferID buffer : manager.getAllBuffers())
        if (const auto& path = manager.getFullPath(buffer); !path.empty())
            paths.push_back(Database::projectPath(path.string()));

    // Directives are trivia of the token after them; walked without recursion.
    std::vector<const SyntaxNode*> pending{&tree.root()};
    while (!pending.empty()) {
        const SyntaxNode* node = pending.back();
        pending.pop_back();
        for (size_t i = node->getChildCount(); i-- > 0;) {
            if (const SyntaxNode* child = node->childNode(i)) {
                pending.push_back(child);
                continue;
            }
            const slang::parsing::Token token = node->childToken(i);
            for (const auto& trivia : token.trivia()) {
                const SyntaxNode* directive = trivia.syntax();
                if (directive && directive->kind == SyntaxKind::LineDirective)
                    paths.push_back(Database::projectPath(
                        std::string(directive->as<LineDirectiveSyntax>().fileName.valueText())));
            }
        }
    }
    return paths;
}
