// The engine's log file, "wexla_engine.log" beside the project database. What
// a project would otherwise pour onto standard output (its tables after each
// compile, each instance's line range, the configuration and the compile
// answer, the injected properties, the files parsed and the copies removed)
// goes there instead, so a host that does not drain its standard output never
// blocks on it. The short bracketed lines stay on standard error.
#pragma once

#include <ostream>
#include <string>

namespace engine_log {

inline constexpr const char* kFileName = "wexla_engine.log";

// Starts the log afresh beside the project database at `db_path`. A link at
// the log's place (symbolic, or another name of a file) is replaced by a file
// of its own, never written through; a log that cannot be opened (a folder, a
// FIFO or device there) is said on standard error, and its lines dropped.
void startBeside(const std::string& db_path);

// The log's stream; its lines are dropped until a project starts the log.
std::ostream& out();

} // namespace engine_log
