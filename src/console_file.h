// The console file of a run: what the design prints with $display, $write and
// $monitor, up to a size limit. At the limit the file ends with a line saying
// so, and nothing more is written: one run cannot fill the disk.
#pragma once

#include <cstdint>
#include <fstream>
#include <ostream>
#include <string>

class ConsoleFile {
public:
    ConsoleFile() = default;
    ConsoleFile(const ConsoleFile&) = delete;
    ConsoleFile& operator=(const ConsoleFile&) = delete;

    // Opens `path`, emptied or (`append`) kept, to hold at most `limit` bytes
    // of output besides the closing line; what it holds already counts.
    void open(const std::string& path, bool append, uint64_t limit);
    void close();
    bool is_open() const { return file_.is_open(); }
    // Whether output went past the limit and was cut.
    bool full() const { return full_; }
    uint64_t limit() const { return limit_; }
    std::ostream& stream() { return out_; }

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

    std::filebuf file_;
    Writer writer_{*this};
    std::ostream out_{&writer_};
    uint64_t written_ = 0;
    uint64_t limit_ = 0;
    bool full_ = false;
};
