// The largest text one answer may hand to the host. Node aborts the whole
// process when a native module hands it a string past about 536 million
// characters; every answer stays well below that.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

inline constexpr size_t kMaxAnswerBytes = size_t{256} << 20;

// The error text for an answer of `bytes` bytes; `narrow` says what to ask for instead.
inline std::string answerTooLargeMessage(size_t bytes, std::string_view narrow) {
    return "the answer would be " + std::to_string(bytes) + " bytes, more than the " +
           std::to_string(kMaxAnswerBytes) + " bytes one answer may hold: " + std::string(narrow);
}
