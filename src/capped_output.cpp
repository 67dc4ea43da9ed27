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

size_t CappedOutput::bytesWritten() {
    drainPutArea();
    return written_;
}

void CappedOutput::put(const char* data, size_t count) {
    written_ += count;
    const size_t to_head = std::min(count, head_limit_ - head_.size());
    head_.append(data, to_head);
    data += to_head;
    count -= to_head;
    if (count == 0 || tail_limit_ == 0)
        return;
    if (count >= tail_limit_) {
        tail_.assign(data + count - tail_limit_, tail_limit_);
        tail_start_ = 0;
        return;
    }
    const size_t room = tail_limit_ - tail_.size();
    const size_t appended = std::min(count, room);
    tail_.append(data, appended);
    data += appended;
    count -= appended;
    // The ring is full: overwrite its oldest bytes.
    while (count > 0) {
        const size_t run = std::min(count, tail_limit_ - tail_start_);
        tail_.replace(tail_start_, run, data, run);
        tail_start_ = (tail_start_ + run) % tail_limit_;
        data += run;
        count -= run;
    }
}

std::string CappedOutput::text() {
    drainPutArea();
    std::string tail = tail_.substr(tail_start_) + tail_.substr(0, tail_start_);
    size_t dropped = written_ - head_.size() - tail.size();
    if (dropped == 0)
        return head_ + tail;
    // The tail's first line was cut: count it as dropped too.
    const size_t first_line_end = tail.find('\n');
    if (first_line_end != std::string::npos) {
        dropped += first_line_end + 1;
        tail.erase(0, first_line_end + 1);
    }
    std::string out = head_;
    if (!out.empty() && out.back() != '\n')
        out += '\n';
    out += "[... " + std::to_string(dropped) + " bytes of output dropped ...]\n";
    return out + tail;
}
