// A stream buffer that keeps the beginning and the end of what is written to
// it and only counts the middle, so a long run's output costs bounded memory.
#pragma once

#include <cstddef>
#include <streambuf>
#include <string>

class CappedOutput : public std::streambuf {
public:
    static constexpr size_t kDefaultKeep = size_t{1} << 20;

    explicit CappedOutput(size_t head_limit = kDefaultKeep, size_t tail_limit = kDefaultKeep);

    // The kept text: the head, then (when anything was dropped) a line saying
    // how many bytes were, then the tail from its first whole line on.
    std::string text();

protected:
    int_type overflow(int_type ch) override;
    std::streamsize xsputn(const char* data, std::streamsize count) override;
    int sync() override;

private:
    void put(const char* data, size_t count);
    void drainPutArea();

    char pending_[4096];

    size_t head_limit_;
    size_t tail_limit_;
    std::string head_;
    std::string tail_;       // its last tail_limit_ bytes are kept
    char before_tail_ = '\n'; // the byte written just before the kept tail
    size_t written_ = 0;
};
