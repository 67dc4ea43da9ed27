#include "engine_log.h"

#include "console_file.h"
#include "database.h"

#include <cstdint>
#include <iostream>

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

void startBeside(const std::string& db_path) {
    Log& log = engine_log::log();
    log.stream.flush();
    log.stream.rdbuf(&log.discard);
    const std::string path = Database::fileBeside(db_path, kFileName);
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
