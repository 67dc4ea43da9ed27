// What both families of exported entry points share: the result buffer they
// hand out, and the guard that turns any exception into an error answer.
#pragma once

#include "engine_turn.h"
#include "json_escape.h"
#include "kernel.h"
#include "large_stack.h"

#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <string_view>

// A NUL-terminated text handed across the exported entry points: it stays
// valid until the same buffer stores its next text or is released.
class ResultBuffer {
public:
    const char* store(std::string_view text) {
        auto fresh = std::make_unique<char[]>(text.size() + 1);
        std::memcpy(fresh.get(), text.data(), text.size());
        fresh[text.size()] = '\0';
        data_ = std::move(fresh);
        return data_.get();
    }

    void release() { data_.reset(); }

    // Releases the buffer only when `p` is the text it holds.
    bool releaseIfHeld(const char* p) {
        if (p == nullptr || p != data_.get())
            return false;
        data_.reset();
        return true;
    }

    const char* get() const { return data_.get(); }

private:
    std::unique_ptr<char[]> data_;
};

// Runs `body` on the engine's large stack, in the caller's turn; an exception
// of any kind becomes `on_error(message)`, the message already escaped for a
// JSON string: `prefix` + what() for a standard exception, "Unknown exception"
// for any other.
template <typename Body, typename OnError>
auto answerGuarded(const char* prefix, Body&& body, OnError&& on_error) -> decltype(body()) {
    const EngineTurn turn;
    try {
        return on_large_stack(body);
    } catch (const std::exception& e) {
        return on_error(json_escape(std::string(prefix) + e.what()));
    } catch (...) {
        return on_error(std::string("Unknown exception"));
    }
}

// A text run simulates under the default run limits; the project's own
// limits are back once it is done, for the project's next run.
class DefaultRunLimits {
public:
    DefaultRunLimits() : saved_(config()) { config() = wsim_kernel::sim_state::SimConfig{}; }
    ~DefaultRunLimits() { config() = saved_; }
    DefaultRunLimits(const DefaultRunLimits&) = delete;
    DefaultRunLimits& operator=(const DefaultRunLimits&) = delete;

private:
    static wsim_kernel::sim_state::SimConfig& config() {
        return wsim_kernel::sim_state::instance().sim_config;
    }
    wsim_kernel::sim_state::SimConfig saved_;
};

// The "meta" of a simulation answer when nothing ran: every simulation answer
// carries one, so that a host reads "stopReason" the same way on any answer.
inline constexpr const char* kNothingRanMeta =
    "{\"finalTime\": 0, \"totalCycles\": 0, \"totalChanges\": 0, \"stopReason\": \"none\", "
    "\"notModelled\": []}";

// A C string argument from a host; a null pointer reads as the empty text.
inline std::string textArgument(const char* text) { return text ? std::string(text) : std::string(); }
