#include "engine_turn.h"

#include "large_stack.h"

namespace {

// Recursive: an entry point may call another on the same thread.
std::recursive_mutex& turn() {
    static std::recursive_mutex mutex;
    return mutex;
}

} // namespace

EngineTurn::EngineTurn() : taken_(!on_large_stack_thread()) {
    if (taken_)
        turn().lock();
}

EngineTurn::~EngineTurn() {
    if (taken_)
        turn().unlock();
}
