// The console file of a run: what the design prints with $display, $write and
// $monitor, up to a size limit. At the limit the file ends with a line saying
// so, and nothing more is written: one run cannot fill the disk.
//
// Output is buffered: it reaches the file when the buffer fills and at
// flush(), which the kernel calls before control goes back to the host. A
// system call for every printed line cost more than the printing.
//
// The file is never written through a link: a symbolic link at the path, or
// a file that has other names too, is replaced by a file of its own, and the
// link's target stays as it was. What could not be opened or written is kept
// in failure(), with the number of bytes that were lost. The engine's log
// file is opened the same way, without a limit.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

class ConsoleFile {
public:
    ConsoleFile() = default;
    ~ConsoleFile() { close(); }
    ConsoleFile(const ConsoleFile&) = delete;
    ConsoleFile& operator=(const ConsoleFile&) = delete;

    // Opens `path`, emptied or (`append`) kept, to hold at most `limit` bytes
    // of output besides the closing line; what it holds already counts. An
    // empty path opens nothing and writes nowhere, with no failure.
    void open(const std::string& path, bool append, uint64_t limit);
    // Flushes and closes.
    void close();
    // Whether open() was called since the last close(), whatever it found.
    bool is_open() const { return open_; }
    // Takes output, as stream() does.
    void write(std::string_view text) { put(text.data(), text.size()); }
    // Writes what the buffer holds to the file.
    void flush();
    // Whether output went past the limit and was cut.
    bool full() const { return full_; }
    uint64_t limit() const { return limit_; }
    std::ostream& stream() { return out_; }

    // Why the file could not be opened or written ("could not be written: No
    // space left on device"), or "" while it holds everything it was given.
    const std::string& failure() const { return failure_; }
    // Bytes given since the failure that never reached the file.
    uint64_t lost() const { return lost_; }
    // What the open replaced at the path ("a symbolic link to /x"), or "".
    const std::string& replaced() const { return replaced_; }

private:
    class Writer : public std::streambuf {
    public:
        explicit Writer(ConsoleFile& owner) : owner_(owner) {}

    protected:
        int_type overflow(int_type ch) override;
        std::streamsize xsputn(const char* data, std::streamsize count) override;
        int sync() override;

    private:
        ConsoleFile& owner_;
    };

    void put(const char* data, size_t count);
    void buffer(const char* data, size_t count);
    void write_out(const char* data, size_t count);

    bool open_ = false;
    int fd_ = -1;
    std::vector<char> buffer_;
    Writer writer_{*this};
    std::ostream out_{&writer_};
    uint64_t written_ = 0;
    uint64_t limit_ = 0;
    bool full_ = false;
    std::string failure_;
    uint64_t lost_ = 0;
    std::string replaced_;
};
