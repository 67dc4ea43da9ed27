#include "console_file.h"

#include <filesystem>

void ConsoleFile::open(const std::string& path, bool append, uint64_t limit) {
    close();
    limit_ = limit;
    written_ = 0;
    full_ = false;
    out_.clear();
    if (path.empty())
        return;
    if (append) {
        std::error_code ec;
        const auto size = std::filesystem::file_size(path, ec);
        written_ = ec ? 0 : size;
        full_ = written_ > limit_;
    }
    file_.open(path, append ? std::ios::out | std::ios::app : std::ios::out | std::ios::trunc);
}

void ConsoleFile::close() {
    if (file_.is_open())
        file_.close();
}

void ConsoleFile::put(const char* data, size_t count) {
    if (full_ || !file_.is_open())
        return;
    const uint64_t room = limit_ - written_;
    if (count <= room) {
        file_.sputn(data, static_cast<std::streamsize>(count));
        written_ += count;
        return;
    }
    file_.sputn(data, static_cast<std::streamsize>(room));
    written_ = limit_;
    full_ = true;
    const std::string closing = "\n[the console file reached its limit of " +
                                std::to_string(limit_) + " bytes; the run stopped here]\n";
    file_.sputn(closing.data(), static_cast<std::streamsize>(closing.size()));
    file_.pubsync();
}

ConsoleFile::Writer::int_type ConsoleFile::Writer::overflow(int_type ch) {
    if (!traits_type::eq_int_type(ch, traits_type::eof())) {
        const char c = traits_type::to_char_type(ch);
        owner_.put(&c, 1);
    }
    return traits_type::not_eof(ch);
}

std::streamsize ConsoleFile::Writer::xsputn(const char* data, std::streamsize count) {
    if (count > 0)
        owner_.put(data, static_cast<size_t>(count));
    return count;
}

int ConsoleFile::Writer::sync() { return owner_.file_.pubsync() == -1 ? -1 : 0; }
