#include "engine_log.h"

#include "console_file.h"

#include <cstdint>
#include <filesystem>
#include <iostream>

namespace fs = std::filesystem;

namespace engine_log {

namespace {

// Takes every character and keeps none.
class Discard : public std::streambuf {
protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// The log is opened as the console file is: never through a link, and never
// a FIFO or device, which would block the engine with its lock held.
struct Log {
    Discard discard;
    ConsoleFile file;
    std::ostream stream{&discard};
};

Log& log() {
    static Log the_log;
    return the_log;
}

} // namespace

std::string pathBeside(const std::string& db_path) {
    // The folder is resolved, not the log's own name: a link there is no log.
    std::error_code ec;
    const fs::path folder = fs::weakly_canonical(fs::absolute(db_path, ec).parent_path(), ec);
    return (folder / kFileName).string();
}

void startBeside(const std::string& db_path) {
    Log& log = engine_log::log();
    log.stream.flush();
    log.stream.rdbuf(&log.discard);
    const std::string path = pathBeside(db_path);
    log.file.open(path, false, UINT64_MAX);
    if (!log.file.replaced().empty())
        std::cerr << "[LOG] " << path << " was " << log.file.replaced()
                  << "; it is replaced by the engine's log" << std::endl;
    if (!log.file.failure().empty()) {
        std::cerr << "[LOG] the engine's log " << path << " " << log.file.failure()
                  << "; its lines are dropped" << std::endl;
        log.file.close();
        return;
    }
    log.stream.clear();
    log.stream.rdbuf(log.file.stream().rdbuf());
}

std::ostream& out() { return log().stream; }

} // namespace engine_log
