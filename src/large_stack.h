// Runs engine work on a thread with a large, fixed stack. Parsing, elaborating
// and walking a design recurse as deep as the design nests; the host's own
// thread (Node's main thread, 8 MB) would overflow long before the engine's
// nesting limits refuse a design.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

// Stack of the worker thread: room for the nesting limits many times over.
inline constexpr size_t kLargeStackBytes = size_t{1} << 30;

// Runs `work` on a worker thread with kLargeStackBytes of stack and waits for
// it; an exception thrown by `work` is thrown again here. Work that is already
// on such a thread runs in place.
void run_on_large_stack(const std::function<void()>& work);

// Whether the calling thread is such a worker.
bool on_large_stack_thread();

// The same for work that answers a value.
template <typename F>
auto on_large_stack(F&& f) -> std::invoke_result_t<F&> {
    using R = std::invoke_result_t<F&>;
    if constexpr (std::is_void_v<R>) {
        run_on_large_stack([&] { f(); });
    } else {
        std::optional<R> answer;
        run_on_large_stack([&] { answer.emplace(f()); });
        return std::move(*answer);
    }
}
