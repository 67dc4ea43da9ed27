// How much text macro expansion may add to a design. Macros that double each
// other grow exponentially: a source of a kilobyte can ask for more tokens
// than the machine has memory, and the preprocessor expands a macro whole
// before handing out its first token. So the sources' macros are measured
// before any preprocessing: every macro the design invokes is sized from the
// definitions (without expanding it), and a design whose expansions add up
// past the limit is refused, naming the macro that passed it.
#pragma once

#include "nesting_limits.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace slang {
class SourceManager;
struct SourceBuffer;
} // namespace slang

namespace nesting {

// Bytes of text that macro expansions may produce in one design, each token
// counted with one byte of space after it.
inline constexpr uint64_t kMaxExpandedBytes = uint64_t{4} << 20;

// Token visits the sizing may take. A visit stands for at least two bytes of
// expansion unless a macro drops its argument, so only definitions arranged
// to size many invocations that produce nothing get this far; they are
// refused rather than sized for ever.
inline constexpr uint64_t kMaxSizingSteps = kMaxExpandedBytes;

// The buffers in the order they are preprocessed, macros carrying from one to
// the next; their `include files are followed as the preprocessor does.
std::optional<Excess> checkExpansions(slang::SourceManager& manager,
                                      const std::vector<slang::SourceBuffer>& buffers);

} // namespace nesting
