// Which files the engine reads as SystemVerilog sources and `include files:
// regular files of at most kMaxSourceBytes. A FIFO would block the read with
// the engine's lock held, and a device such as /dev/zero would be read until
// memory ran out. Each file is checked before anything reads it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace source_files {

inline constexpr uint64_t kMaxSourceBytes = uint64_t{32} << 20;

// Why the file at `path` is not read, or nullopt: "no such file or
// directory", "is a folder, not a file", "is not a regular file (a device,
// FIFO or socket)", "is N bytes; a source may have at most 33554432".
std::optional<std::string> problemWith(const std::filesystem::path& path);

// Why the file an `include names is not read, or nullopt, also when no such
// file is found (the parse then says so). `name` is as written between the
// quotes or angle brackets; a relative one is looked for in the folder of
// `including`, the file that holds the directive (the working folder for a
// text), as the preprocessor looks.
std::optional<std::string> includeProblem(const std::string& name,
                                          const std::filesystem::path& including);

// Whether there is anything at `path` (a dangling link counts as nothing; a
// file whose status cannot be read counts, for problemWith to say why).
bool anythingAt(const std::filesystem::path& path);

} // namespace source_files
