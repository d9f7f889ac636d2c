// SPDX-License-Identifier: MIT
#include "diff/preview_sink.h"

#include "libtools/tool_console.h"

#include <cerrno>
#include <cstring>

namespace {

// Origins are coded as unsigned numbers of seven bits a byte, low bits first, the top
// bit set on every byte but the last: a line that follows the one before and comes
// from one original line, by far the most common, takes one byte.
void put_number(std::string *to, unsigned long long value) {
    while (value >= 0x80) {
        to->push_back(static_cast<char>((value & 0x7F) | 0x80));
        value >>= 7;
    }
    to->push_back(static_cast<char>(value));
}

unsigned long long take_number(const std::string &from, std::size_t *at) {
    unsigned long long value = 0;
    for (int shift = 0;; shift += 7) {
        const unsigned char byte = static_cast<unsigned char>(from[(*at)++]);
        value |= static_cast<unsigned long long>(byte & 0x7F) << shift;
        if (byte < 0x80) {
            return value;
        }
    }
}

} // namespace

PreviewSink::PreviewSink(std::FILE *out, const char *name, std::size_t memory_limit)
    : out_(out), writer_(out, name, memory_limit), original_(2 * memory_limit) {
    // The diff carries the file's own line ends, so that it applies byte for byte.
    errno = 0;
    if (tool_binary_mode(out_) == 0) {
        fail();
    }
}

// Every public call starts with errno cleared, so that a failure keeps the system's
// reason, or none for a failure that has no system call behind it.
bool PreviewSink::fail() {
    if (!failed_) {
        error_ = errno;
    }
    failed_ = true;
    return false;
}

void PreviewSink::original(const char *data, std::size_t size) {
    errno = 0;
    if (failed_ || (paired_unended_ && size != 0)) {
        fail();
        return;
    }
    if (!original_.push(data, size)) {
        fail();
    }
}

void PreviewSink::line_origin(long long first, long long last) {
    errno = 0;
    if (failed_ || first <= last_origin_ || last < first) {
        fail();
        return;
    }
    // The skipped lines and whether the run spans more than one line share a number.
    const unsigned long long skipped = static_cast<unsigned long long>(first - last_origin_ - 1);
    const unsigned long long span = static_cast<unsigned long long>(last - first);
    put_number(&origins_, skipped * 2 + (span != 0 ? 1 : 0));
    if (span != 0) {
        put_number(&origins_, span);
    }
    last_origin_ = last;
}

// Takes the oldest origin not yet paired; false when there is none.
bool PreviewSink::next_origin(long long *skipped, long long *span) {
    if (origins_head_ == origins_.size()) {
        return false;
    }
    const unsigned long long first = take_number(origins_, &origins_head_);
    *skipped = static_cast<long long>(first / 2);
    *span = (first & 1) != 0 ? static_cast<long long>(take_number(origins_, &origins_head_)) : 0;
    if (origins_head_ == origins_.size()) {
        origins_.clear();
        origins_head_ = 0;
    } else if (origins_head_ > 4096 && 2 * origins_head_ > origins_.size()) {
        origins_.erase(0, origins_head_);
        origins_head_ = 0;
    }
    return true;
}

// Drops the first original line, `length` bytes long, once it is shown.
void PreviewSink::drop_front(std::size_t length) {
    paired_unended_ = paired_unended_ || original_.front()[length - 1] != '\n';
    original_.pop_front();
}

// Shows the next `count` original lines as removed; false when they were not given.
// A run (`in_run`) may end with the empty text after the input's last "\n": a block
// comment left open at the end of the input takes that in, and it is no line.
bool PreviewSink::remove_lines(long long count, bool in_run) {
    for (long long i = 0; i < count; ++i) {
        std::size_t length = 0;
        if (!original_.measure_front(&length)) {
            paired_unended_ = in_run && i == count - 1 && !original_.failed();
            return paired_unended_;
        }
        if (!writer_.removed(original_.front(), length)) {
            return false;
        }
        drop_front(length);
    }
    return true;
}

// Pairs the written line that begins now with its origin: the lines skipped before
// it are removed, and so are the lines of a run of several; a single line is
// compared with the written one as its bytes come.
bool PreviewSink::next_written_line() {
    long long skipped = 0;
    long long span = 0;
    if (!next_origin(&skipped, &span) || !remove_lines(skipped, false)) {
        return false;
    }
    if (span != 0) {
        pairing_ = Pairing::adding;
        return remove_lines(span + 1, true);
    }
    pairing_ = Pairing::comparing;
    matched_ = 0;
    return true;
}

// The written line differs from its original line: that line is removed, and what
// was written of the line so far (equal to its start) is added.
bool PreviewSink::replace_compared_line() {
    std::size_t length = 0;
    if (!original_.measure_front(&length) || !writer_.removed(original_.front(), length) ||
        !writer_.added(original_.front(), matched_)) {
        return false;
    }
    drop_front(length);
    pairing_ = Pairing::adding;
    return true;
}

// Takes `size` written bytes of the open line; `ends_line` when they end with its "\n".
bool PreviewSink::take_piece(const char *data, std::size_t size, bool ends_line) {
    if (pairing_ == Pairing::comparing && matched_ == 0 && ends_line &&
        original_.front_is(data, size)) { // an unchanged line, read whole at once
        pairing_ = Pairing::none;
        const bool shown = writer_.context(data, size);
        original_.pop_front();
        return shown;
    }
    if (pairing_ == Pairing::comparing) {
        std::size_t length = 0;
        if (!original_.measure_front(&length)) {
            return false;
        }
        const char *line = original_.front();
        if (size <= length - matched_ && std::memcmp(line + matched_, data, size) == 0 &&
            (!ends_line || matched_ + size == length)) {
            matched_ += size;
            if (!ends_line) {
                return true;
            }
            pairing_ = Pairing::none;
            const bool shown = writer_.context(line, length);
            drop_front(length);
            return shown;
        }
        if (!replace_compared_line()) {
            return false;
        }
    }
    if (!writer_.added(data, size)) {
        return false;
    }
    if (ends_line) {
        pairing_ = Pairing::none;
        return writer_.end_added();
    }
    return true;
}

bool PreviewSink::append(const char *data, std::size_t size) {
    errno = 0;
    if (failed_) {
        return false;
    }
    while (size != 0) {
        if (pairing_ == Pairing::none && !next_written_line()) {
            return fail();
        }
        const void *line_end = std::memchr(data, '\n', size);
        const std::size_t piece =
            line_end != nullptr
                ? static_cast<std::size_t>(static_cast<const char *>(line_end) - data) + 1
                : size;
        if (!take_piece(data, piece, line_end != nullptr)) {
            return fail();
        }
        data += piece;
        size -= piece;
    }
    return true;
}

bool PreviewSink::finish() {
    errno = 0;
    if (failed_) {
        return false;
    }
    std::size_t length = 0;
    bool ok = true;
    // A written last line without a line end: the same as its original line only when
    // that one has none either.
    if (pairing_ == Pairing::comparing && original_.measure_front(&length) && matched_ == length &&
        original_.front()[length - 1] != '\n') {
        ok = writer_.context(original_.front(), length);
        drop_front(length);
    } else if (pairing_ != Pairing::none) {
        ok = (pairing_ == Pairing::adding || replace_compared_line()) && writer_.end_added();
    }
    pairing_ = Pairing::none;
    ok = ok && origins_head_ == origins_.size(); // every origin got its written line
    while (ok && original_.measure_front(&length)) {
        ok = writer_.removed(original_.front(), length);
        original_.pop_front();
    }
    return (ok && !original_.failed() && writer_.finish()) || fail();
}
