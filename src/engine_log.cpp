#include "engine_log.h"

#include <filesystem>
#include <fstream>
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

struct Log {
    Discard discard;
    std::filebuf file;
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
    log.file.close();
    const std::string path = pathBeside(db_path);
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(path, ec))) {
        fs::remove(path, ec);
        std::cerr << "[LOG] " << path << " was a link; it is replaced by the engine's log"
                  << std::endl;
    }
    if (!log.file.open(path, std::ios::out | std::ios::trunc)) {
        std::cerr << "[LOG] cannot write the engine's log " << path
                  << "; its lines are dropped" << std::endl;
        return;
    }
    log.stream.clear();
    log.stream.rdbuf(&log.file);
}

std::ostream& out() { return log().stream; }

} // namespace engine_log
