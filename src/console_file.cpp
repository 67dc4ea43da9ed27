#include "console_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t buffer_size = size_t{64} << 10;

std::string reason(int error) { return std::strerror(error); }

// What sits at `path` that a write must not go through: "" when it is a
// plain file with no other name, or when nothing is there yet.
std::string link_at(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return "";
    if (S_ISLNK(st.st_mode)) {
        std::string target(4096, '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        target.resize(n > 0 ? static_cast<size_t>(n) : 0);
        return "a symbolic link to " + target;
    }
    if (S_ISREG(st.st_mode) && st.st_nlink > 1)
        return "a file with " + std::to_string(st.st_nlink) + " names (hard links)";
    return "";
}

// Opens `path` for writing without following a link there; a link is
// removed and a new file made in its place (`replaced` says what it was).
// Answers -1 with `failure` set when the path holds something that is not a
// plain file, or cannot be opened.
int open_own_file(const std::string& path, bool append, std::string& replaced,
                  std::string& failure) {
    // O_NONBLOCK: opening a FIFO must not wait for a reader.
    const int flags = O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | (append ? O_APPEND : 0);
    replaced = link_at(path);
    if (!replaced.empty() && ::unlink(path.c_str()) != 0) {
        failure = "could not be replaced (it is " + replaced + "): " + reason(errno);
        return -1;
    }
    // A link made between the look and the open is refused, never followed.
    int fd = ::open(path.c_str(), flags | O_CREAT, 0666);
    if (fd < 0) {
        const int error = errno;
        struct stat st {};
        const bool there = ::lstat(path.c_str(), &st) == 0;
        failure = "could not be opened: " +
                  (there && S_ISDIR(st.st_mode)  ? std::string("it is a directory")
                   : there && S_ISLNK(st.st_mode) ? std::string("it is a symbolic link")
                   : there && !S_ISREG(st.st_mode) ? std::string("it is not a regular file")
                                                    : reason(error));
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink > 1) {
        failure = "could not be opened: it is not a regular file of its own";
        ::close(fd);
        return -1;
    }
    if ((!append && ::ftruncate(fd, 0) != 0) || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        failure = "could not be opened: " + reason(errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

void ConsoleFile::open(const std::string& path, bool append, uint64_t limit) {
    close();
    limit_ = limit;
    written_ = 0;
    full_ = false;
    failure_.clear();
    lost_ = 0;
    replaced_.clear();
    out_.clear();
    open_ = true;
    if (path.empty())
        return;
    fd_ = open_own_file(path, append, replaced_, failure_);
    if (fd_ < 0)
        return;
    buffer_.reserve(buffer_size);
    if (append) {
        struct stat st {};
        written_ = ::fstat(fd_, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
        full_ = written_ > limit_;
    }
}

void ConsoleFile::close() {
    open_ = false;
    if (fd_ < 0)
        return;
    flush();
    ::close(fd_);
    fd_ = -1;
}

void ConsoleFile::flush() {
    if (buffer_.empty())
        return;
    write_out(buffer_.data(), buffer_.size());
    buffer_.clear();
}

void ConsoleFile::write_out(const char* data, size_t count) {
    if (!failure_.empty()) {
        lost_ += count;
        return;
    }
    while (count > 0) {
        const ssize_t n = ::write(fd_, data, count);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failure_ = "could not be written: " + (n < 0 ? reason(errno) : std::string("no room"));
            lost_ += count;
            return;
        }
        data += n;
        count -= static_cast<size_t>(n);
    }
}

void ConsoleFile::buffer(const char* data, size_t count) {
    if (buffer_.size() + count > buffer_size)
        flush();
    if (count >= buffer_size)
        write_out(data, count);
    else
        buffer_.insert(buffer_.end(), data, data + count);
}

void ConsoleFile::put(const char* data, size_t count) {
    if (fd_ < 0) {
        // An empty path writes nowhere on purpose; a failed open loses output.
        if (!failure_.empty())
            lost_ += count;
        return;
    }
    if (full_)
        return;
    const uint64_t room = limit_ - written_;
    if (count <= room) {
        buffer(data, count);
        written_ += count;
        return;
    }
    buffer(data, static_cast<size_t>(room));
    written_ = limit_;
    full_ = true;
    const std::string closing = "\n[the console file reached its limit of " +
                                std::to_string(limit_) + " bytes; the run stopped here]\n";
    buffer(closing.data(), closing.size());
    flush();
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

// A failed write leaves the stream good: what is written after it is
// counted as lost, not dropped by the stream.
int ConsoleFile::Writer::sync() {
    owner_.flush();
    return 0;
}
