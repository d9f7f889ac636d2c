// SPDX-License-Identifier: MIT
// The block reader follows tool_read_line's rules with all comment kinds on and
// empty lines kept, in the reference's terms:
//   - outside comments, "\n" and "\r\n" end a line; a lone "\r" is text;
//   - "//" and "#" open a comment that ends at the next "\n"; a line with content
//     before it ends there, a comment-only line vanishes;
//   - "/*" opens a block comment that ends at its matching "*/"; "/*", "//" and "#"
//     nest inside it (a nested line comment ends at its "\n" and the block goes on),
//     and the text after the block joins the line it began on;
//   - an empty line is kept unless a comment was taken out of it;
//   - at the end of input the line read so far is the last line; when the input ends
//     inside a line comment, that line comes back even when it is empty.
// Outside the rare block comment a line is one run of the block, so it is handed out
// where it lies. Only the bytes that matter are looked at one by one; the runs
// between them are found sixteen bytes at a time.
#include "convert/block_line_reader.h"

#include "convert/byte_scan.h"

#include <algorithm>
#include <cstring>

using byte_scan::find_first;
using byte_scan::kScanPadding;

static_assert(BlockSupply::kPadding >= kScanPadding, "supplied blocks are scanned in place");

BlockLineReader::BlockLineReader(ByteSource source, LineReaderStorage *storage,
                                 std::size_t min_read)
    : source_(source), storage_(storage), min_read_(std::max<std::size_t>(min_read, 1)) {
    std::vector<char> &block = storage_->block;
    if (block.size() < 2 * min_read_ + kScanPadding) {
        block.assign(2 * min_read_ + kScanPadding, '\0');
    }
    pos_ = end_ = block.data();
}

// Moves the bytes from *keep on to the front of the block, reads more behind them
// and moves *keep and *p along. False when the source had nothing more.
bool BlockLineReader::fill(const char **keep, const char **p) {
    if (at_end_) {
        return false;
    }
    const std::size_t kept = static_cast<std::size_t>(end_ - *keep);
    const std::size_t offset = static_cast<std::size_t>(*p - *keep);
    char *base = nullptr;
    long got = 0;
    if (supply_ != nullptr && supply_->supplying()) {
        got = take_supplied(*keep, kept, &base);
    } else {
        std::vector<char> &block = storage_->block;
        std::memmove(block.data(), *keep, kept);
        std::size_t capacity = block.size() - kScanPadding;
        if (capacity - kept < min_read_) { // a line longer than the block
            capacity = std::max(2 * capacity, kept + min_read_);
            block.resize(capacity + kScanPadding, '\0');
        }
        base = block.data();
        got = source_.read(source_.context, base + kept, capacity - kept);
    }
    note_filled(base, kept, got);
    *keep = base;
    *p = base + offset;
    return !at_end_;
}

// The next block of the supply, with the `kept` bytes from `keep` (an unfinished line)
// put in front of its bytes; *base is then where they begin. A line longer than the
// room in front stays in the reader's block, and the new bytes are copied behind it.
long BlockLineReader::take_supplied(const char *keep, std::size_t kept, char **base) {
    std::vector<char> next;
    const long got = supply_->take(&next);
    std::vector<char> &block = storage_->block;
    if (got <= 0) {
        std::memmove(block.data(), keep, kept); // keep lies in block: nothing came to move it
        *base = block.data();
        return got;
    }
    const std::size_t size = static_cast<std::size_t>(got);
    if (kept <= BlockSupply::kHeadRoom) {
        *base = next.data() + BlockSupply::kHeadRoom - kept;
        std::memcpy(*base, keep, kept);
        block.swap(next);
    } else {
        std::memmove(block.data(), keep, kept);
        if (block.size() < kept + size + kScanPadding) {
            block.resize(kept + size + kScanPadding, '\0');
        }
        std::memcpy(block.data() + kept, next.data() + BlockSupply::kHeadRoom, size);
        *base = block.data();
    }
    supply_->give_back(&next);
    return got;
}

// Takes note of `got` bytes read behind `kept` ones at `base`.
void BlockLineReader::note_filled(char *base, std::size_t kept, long got) {
    if (got < 0) {
        read_failed_ = true;
        got = 0;
    }
    at_end_ = got == 0;
    if (got > 0) {
        text_after_newline_ = base[kept + got - 1] != '\n';
    }
    if (first_line_end_ == LineEnd::none) {
        note_first_line_end(base + kept, base + kept + got);
    }
    pos_ = base; // callers set it again before they return
    end_ = base + kept + got;
}

void BlockLineReader::note_first_line_end(const char *from, const char *to) {
    const void *found = std::memchr(from, '\n', static_cast<std::size_t>(to - from));
    if (found == nullptr) {
        last_byte_ = to > from ? to[-1] : last_byte_;
        return;
    }
    const char *newline = static_cast<const char *>(found);
    const char before = newline > from ? newline[-1] : last_byte_;
    first_line_end_ = before == '\r' ? LineEnd::crlf : LineEnd::lf;
}

void BlockLineReader::note_line_end(LineEnd end) {
    last_line_ = newlines_ + 1;
    ++newlines_;
    altered_ = altered_ || end != first_line_end_;
}

// Whether the byte after *p is there, reading on when *p is the last of the block.
bool BlockLineReader::ensure_next(const char **keep, const char **p) {
    while (*p + 1 >= end_) {
        if (!fill(keep, p)) {
            return false;
        }
    }
    return true;
}

bool BlockLineReader::stop_on_zero() {
    zero_byte_ = true;
    finished_ = true;
    return false;
}

void BlockLineReader::detach(const char *from, const char *to) {
    storage_->scratch.append(from, to);
    detached_ = true;
}

// The line so far: the scratch copy and the run [from, to), or the run alone.
LineView BlockLineReader::take(const char *from, const char *to) {
    if (!detached_) {
        return LineView{from, static_cast<std::size_t>(to - from)};
    }
    storage_->scratch.append(from, to);
    return LineView{storage_->scratch.data(), storage_->scratch.size()};
}

// Discards the bytes from p through the next "\n"; pos_ is then after it.
bool BlockLineReader::skip_to_line_end(const char *p) {
    for (;;) {
        const char *r = find_first<'\n', '\0'>(p, end_);
        if (r == end_) {
            const char *keep = r;
            if (fill(&keep, &r)) {
                p = r;
                continue;
            }
            pos_ = end_;
            return false;
        }
        if (*r == '\0') {
            zero_byte_ = true;
            return false;
        }
        ++newlines_;
        pos_ = r + 1;
        return true;
    }
}

// Reads through the block comment whose opener ends before *p, and the comments
// nested in it; *p is then after its "*/".
BlockLineReader::CommentEnd BlockLineReader::block_comment(const char **p) {
    int depth = 1;
    const char *s = *p;
    for (;;) {
        s = find_first<'/', '#', '*', '\n', '\0'>(s, end_);
        const char *keep = s;
        if (s == end_) {
            if (fill(&keep, &s)) {
                continue;
            }
            return CommentEnd::end;
        }
        const char c = *s;
        if (c == '\0') {
            return CommentEnd::zero;
        }
        if (c == '\n') {
            ++newlines_;
            ++s;
            continue;
        }
        const bool pair = c != '#' && ensure_next(&keep, &s);
        if (c == '#' || (c == '/' && pair && s[1] == '/')) {
            if (!skip_to_line_end(s + (c == '#' ? 1 : 2))) {
                return zero_byte_ ? CommentEnd::zero : CommentEnd::end_in_line_comment;
            }
            s = pos_;
        } else if (c == '/' && pair && s[1] == '*') {
            ++depth;
            s += 2;
        } else if (c == '*' && pair && s[1] == '/') {
            s += 2;
            if (--depth == 0) {
                *p = s;
                return CommentEnd::closed;
            }
        } else {
            ++s;
        }
    }
}

// The end of a line inside the input, after which the line is complete unless it is
// empty and a comment was taken out of it.
bool BlockLineReader::line_end(LineView *line, const char *start, const char *at, const char *after,
                               bool *mark) {
    *line = take(start, at);
    pos_ = after;
    note_line_end(after - at == 2 ? LineEnd::crlf : LineEnd::lf);
    if (line->length > 0 || !*mark) {
        return true;
    }
    *mark = false;
    return false;
}

// At end of input: the line read so far, if it holds anything.
bool BlockLineReader::last_line(LineView *line, const char *start, const char *at) {
    finished_ = true;
    last_line_ = newlines_ + 1;
    *line = take(start, at);
    return line->length > 0;
}

bool BlockLineReader::text_line(LineView *line) {
    storage_->scratch.clear();
    detached_ = false;
    const char *start = pos_;
    const char *p = pos_;
    bool mark = false; // a comment was taken out of this line
    first_line_ = newlines_ + 1;
    for (;;) {
        const char *q = find_first<'\n', '\r', '/', '#', '\0'>(p, end_);
        if (q == end_) {
            if (fill(&start, &q)) {
                p = q;
                continue;
            }
            return last_line(line, start, end_);
        }
        const char c = *q;
        if (c == '\0') {
            return stop_on_zero();
        }
        if (c == '\n' || (c == '\r' && ensure_next(&start, &q) && q[1] == '\n')) {
            const char *after = q + (c == '\n' ? 1 : 2);
            if (line_end(line, start, q, after, &mark)) {
                return true;
            }
            first_line_ = newlines_ + 1;
            start = p = after;
            continue;
        }
        const bool pair = c == '/' && ensure_next(&start, &q);
        if (c == '#' || (pair && q[1] == '/')) {
            const char *after = q + (c == '#' ? 1 : 2);
            altered_ = true;
            last_line_ = newlines_ + 1;
            *line = take(start, q);
            if (line->length > 0) { // the line ends at the comment's "\n"
                pos_ = after;
                skip_comment_ = true;
                return true;
            }
            if (!skip_to_line_end(after)) {
                finished_ = true;
                return !zero_byte_; // the empty last line, unless a zero byte stopped it
            }
            mark = false;
            first_line_ = newlines_ + 1;
            start = p = pos_;
            continue;
        }
        if (pair && q[1] == '*') {
            mark = true;
            altered_ = true;
            if (detached_ || q > start) {
                detach(start, q);
            }
            const char *after = q + 2;
            const CommentEnd block = block_comment(&after);
            if (block == CommentEnd::zero) {
                return stop_on_zero();
            }
            if (block == CommentEnd::end) {
                return last_line(line, after, after);
            }
            if (block == CommentEnd::end_in_line_comment) {
                finished_ = true;
                last_line_ = newlines_ + 1;
                *line = take(after, after);
                return true;
            }
            start = p = after;
            continue;
        }
        p = q + 1; // a "/" or "\r" that is text
    }
}

bool BlockLineReader::next(LineView *line) {
    if (finished_) {
        return false;
    }
    if (skip_comment_) {
        skip_comment_ = false;
        if (!skip_to_line_end(pos_)) {
            finished_ = true;
            return false;
        }
    }
    return text_line(line);
}
