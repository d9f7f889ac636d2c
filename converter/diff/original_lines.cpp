// SPDX-License-Identifier: MIT
#include "diff/original_lines.h"

#include <algorithm>
#include <cstring>

namespace {

// The least a refill brings back from a file, so that a long line costs few reads.
constexpr std::size_t kRefillBlock = std::size_t{64} * 1024;

} // namespace

OriginalLines::OriginalLines(std::size_t memory_limit)
    : limit_(std::max<std::size_t>(memory_limit, 1)) {}

// Moves the bytes from head_ on to the start of memory_; gives back what a long line
// made it take beyond the bound once that line is gone.
void OriginalLines::compact() {
    if (memory_.capacity() > 2 * limit_ && in_memory() <= limit_) {
        std::string smaller;
        smaller.reserve(limit_);
        smaller.assign(front(), in_memory());
        memory_.swap(smaller);
    } else {
        memory_.erase(0, head_);
    }
    head_ = 0;
}

bool OriginalLines::push(const char *data, std::size_t size) {
    if (measured_ != 0 && front()[measured_ - 1] != '\n') {
        measured_ = 0; // a line without "\n" at the end goes on in these bytes
    }
    SpillFile &writing = files_[1 - reading_];
    if (files_[reading_].unread() != 0 || writing.size() != 0 || writing.failed() ||
        in_memory() + size > limit_) {
        failed_ = failed_ || !writing.write(data, size);
        return !failed_;
    }
    if (memory_.capacity() < limit_) {
        memory_.reserve(limit_); // all at once: doubling could pass the bound
    }
    // Moving the bytes left to the front once they are fewer than those taken keeps
    // the memory written to near twice what is held.
    if (head_ != 0 && (memory_.size() + size > memory_.capacity() || head_ >= in_memory())) {
        compact();
    }
    memory_.append(data, size);
    return true;
}

// Brings the next bytes from the files into memory; false when the files hold none.
bool OriginalLines::refill() {
    if (files_[reading_].unread() == 0) {
        SpillFile &writing = files_[1 - reading_];
        if (writing.size() == 0 || failed_) {
            return false;
        }
        files_[reading_].clear(); // it takes what comes from now on
        reading_ = 1 - reading_;
        if (!writing.start_reading()) {
            failed_ = true;
            return false;
        }
    }
    SpillFile &reading = files_[reading_];
    compact();
    const std::size_t wanted = static_cast<std::size_t>(std::min<unsigned long long>(
        reading.unread(), std::max(kRefillBlock, limit_ - std::min(limit_, in_memory()))));
    const std::size_t old_size = memory_.size();
    memory_.resize(old_size + wanted);
    const std::size_t got = reading.read(&memory_[old_size], wanted);
    memory_.resize(old_size + got);
    failed_ = got != wanted;
    return !failed_;
}

bool OriginalLines::measure_slowly(std::size_t *length) {
    while (measured_ == 0) {
        const void *line_end = std::memchr(front() + scanned_, '\n', in_memory() - scanned_);
        if (line_end != nullptr) {
            measured_ = static_cast<std::size_t>(static_cast<const char *>(line_end) - front()) + 1;
            break;
        }
        scanned_ = in_memory();
        if (!refill()) {
            if (failed_ || in_memory() == 0) {
                return false;
            }
            measured_ = in_memory(); // the last line, without a line end
        }
    }
    *length = measured_;
    return true;
}

void OriginalLines::pop_front() {
    std::size_t length = 0;
    if (!measure_front(&length)) {
        return;
    }
    head_ += length;
    measured_ = 0;
    scanned_ = 0;
    if (head_ == memory_.size()) {
        memory_.clear();
        head_ = 0;
    }
}
