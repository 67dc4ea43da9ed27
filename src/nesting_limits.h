// How deeply a design may nest. Parsing, elaborating and every walk over a
// design recurse as deep as it nests; these checks refuse a design before any
// such recursion could outgrow the worker's stack (large_stack.h), and before
// slang's cost on long operator chains (quadratic in their length) stalls the host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <slang/util/Bag.h>

namespace slang::syntax {
class SyntaxTree;
}

namespace nesting {

// Levels of nesting the engine accepts: blocks, brackets and branch chains in
// the sources, and levels of the parsed syntax tree, where a chain of binary
// operators (a + a + ... + a) counts one level per operator.
inline constexpr size_t kMaxNesting = 10000;

// Levels of `include the engine follows. A file that includes itself is
// read again at every level, and every copy is held at once: at slang's own
// limit of 1024 levels a file of a megabyte or two exhausts the machine.
inline constexpr uint32_t kMaxIncludeDepth = 16;

// The options every parse and scan of a design uses.
slang::Bag parseOptions();

// Where a design first nests beyond the limit.
struct Excess {
    std::string message;  // names the limit
    std::string file;     // as the source manager names it; "" when unknown
    size_t line = 0;
    size_t column = 0;

    // "<message> (<file>:<line>:<column>)".
    std::string describe() const;
};

// Thrown by the engine's own walkers when a structure nests beyond the limit.
class LimitError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "nesting limit exceeded: <what> nested more than kMaxNesting levels deep".
std::string limitMessage(std::string_view what);

// One level of a walker's own recursion, counted in `depth`; a level past the
// limit throws LimitError naming `what`.
class DepthGuard {
public:
    DepthGuard(size_t& depth, std::string_view what) : depth_(depth) {
        if (depth_ >= kMaxNesting)
            throw LimitError(limitMessage(what));
        ++depth_;
    }
    ~DepthGuard() { --depth_; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

private:
    size_t& depth_;
};

// Scans the preprocessed tokens of the files (in one stream, as they are
// parsed) before parsing them; files that cannot be read are left to the parse.
std::optional<Excess> scanFiles(const std::vector<std::string>& paths);
// The same for a source text parsed as the buffer "source".
std::optional<Excess> scanText(std::string_view text);

// The parsed tree's depth, walked without recursion.
std::optional<Excess> checkTree(const slang::syntax::SyntaxTree& tree);

} // namespace nesting
