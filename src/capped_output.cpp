#include "capped_output.h"

#include <algorithm>
#include <cstring>

CappedOutput::CappedOutput(size_t head_limit, size_t tail_limit)
    : head_limit_(head_limit), tail_limit_(tail_limit) {
    setp(pending_, pending_ + sizeof pending_);
}

void CappedOutput::drainPutArea() {
    put(pbase(), static_cast<size_t>(pptr() - pbase()));
    setp(pending_, pending_ + sizeof pending_);
}

CappedOutput::int_type CappedOutput::overflow(int_type ch) {
    drainPutArea();
    if (!traits_type::eq_int_type(ch, traits_type::eof()))
        sputc(traits_type::to_char_type(ch));
    return traits_type::not_eof(ch);
}

std::streamsize CappedOutput::xsputn(const char* data, std::streamsize count) {
    if (count <= 0)
        return 0;
    if (count <= epptr() - pptr()) {
        std::memcpy(pptr(), data, static_cast<size_t>(count));
        pbump(static_cast<int>(count));
        return count;
    }
    drainPutArea();
    put(data, static_cast<size_t>(count));
    return count;
}

int CappedOutput::sync() {
    drainPutArea();
    return 0;
}

void CappedOutput::put(const char* data, size_t count) {
    written_ += count;
    const size_t to_head = std::min(count, head_limit_ - head_.size());
    head_.append(data, to_head);
    data += to_head;
    count -= to_head;
    if (count > tail_limit_) {
        before_tail_ = data[count - tail_limit_ - 1];
        tail_.clear();
        data += count - tail_limit_;
        count = tail_limit_;
    }
    tail_.append(data, count);
    // Trimmed in batches, so each byte is moved a bounded number of times.
    if (tail_.size() > 2 * tail_limit_) {
        const size_t cut = tail_.size() - tail_limit_;
        before_tail_ = tail_[cut - 1];
        tail_.erase(0, cut);
    }
}

std::string CappedOutput::text() {
    drainPutArea();
    const size_t start = tail_.size() > tail_limit_ ? tail_.size() - tail_limit_ : 0;
    const char before = start > 0 ? tail_[start - 1] : before_tail_;
    std::string tail = tail_.substr(start);
    size_t dropped = written_ - head_.size() - tail.size();
    if (dropped == 0)
        return head_ + tail;
    // A line cut at the tail's start is dropped whole.
    const size_t first_line_end = tail.find('\n');
    if (before != '\n' && first_line_end != std::string::npos) {
        dropped += first_line_end + 1;
        tail.erase(0, first_line_end + 1);
    }
    std::string out = head_;
    if (!out.empty() && out.back() != '\n')
        out += '\n';
    out += "[... " + std::to_string(dropped) + " bytes of output dropped ...]\n";
    return out + tail;
}
