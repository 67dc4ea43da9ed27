// The files a compiled design's rows may refer to besides its listed sources:
// the `include files it read, and the files its `line directives name. The
// model and the design's structure place their statements, modules and queue
// entries in these files, so the project's file table must hold them too, or
// those rows would have no file to refer to and would not land.
#pragma once

#include <string>
#include <vector>

namespace slang::syntax {
class SyntaxTree;
}

// Their paths as the file table spells them (Database::projectPath).
std::vector<std::string> filesOfTree(const slang::syntax::SyntaxTree& tree);
