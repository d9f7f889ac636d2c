// SPDX-License-Identifier: MIT
// The reader's calls, with the contracts of zlib's gzread, gzgetc, gzgets and gzseek:
// a read after damage gives -1, a truncated file delivers what it held, a seek backwards
// rewinds the file and a seek forwards is passed over at the next read.
#include "zfile/gzip_reader.h"

#include <cstring>

namespace zfile {

namespace {

unsigned smaller(unsigned a, long long b) {
    return b < static_cast<long long>(a) ? static_cast<unsigned>(b) : a;
}

} // namespace

int GzipReader::read(void *buffer, unsigned length) {
    cut_ = false;
    if (file_ == nullptr || hard_error() || !pass_skip()) {
        return -1;
    }
    auto *to = static_cast<unsigned char *>(buffer);
    unsigned got = 0;
    while (got < length) {
        unsigned count = 0;
        if (have_ > 0) {
            count = smaller(have_, length - got);
            std::memcpy(to + got, next_, count);
            next_ += count;
            have_ -= count;
        } else if (length - got >= kOutputSize) {
            count = make(to + got, length - got); // straight into the caller's buffer
        } else if (refill()) {
            continue;
        }
        if (count == 0) {
            break;
        }
        got += count;
        position_ += count;
    }
    return got == 0 && (hard_error() || cut_) ? -1 : static_cast<int>(got);
}

int GzipReader::get_byte_slow() {
    unsigned char byte = 0;
    return read(&byte, 1) == 1 ? byte : -1;
}

char *GzipReader::gets(char *buffer, int size) {
    cut_ = false;
    if (file_ == nullptr || hard_error() || !pass_skip()) {
        return nullptr;
    }
    char *to = buffer;
    unsigned left = size > 0 ? static_cast<unsigned>(size) - 1 : 0;
    while (left > 0 && refill()) {
        unsigned count = smaller(have_, left);
        const void *newline = std::memchr(next_, '\n', count);
        if (newline != nullptr) {
            count = static_cast<unsigned>(static_cast<const unsigned char *>(newline) - next_) + 1;
        }
        std::memcpy(to, next_, count);
        to += count;
        next_ += count;
        have_ -= count;
        position_ += count;
        left = newline != nullptr ? 0 : left - count;
    }
    if (to == buffer) {
        return nullptr;
    }
    *to = '\0';
    return buffer;
}

long long GzipReader::seek(long long offset, int origin) {
    if (file_ == nullptr || hard_error() || (origin != SEEK_SET && origin != SEEK_CUR)) {
        return -1;
    }
    const long long target = origin == SEEK_SET ? offset : tell() + offset;
    if (target < 0 || (target < position_ && !rewind())) {
        return -1;
    }
    // What is inflated already is passed over at once, the rest at the next read.
    const unsigned now = smaller(have_, target - position_);
    next_ += now;
    have_ -= now;
    position_ += now;
    skip_ = target - position_;
    return target;
}

// Passes over the bytes a seek forwards left to skip; false on an error or a read cut
// short by a stop (the rest is passed over at the next call).
bool GzipReader::pass_skip() {
    while (skip_ > 0 && refill()) {
        const unsigned count = smaller(have_, skip_);
        next_ += count;
        have_ -= count;
        position_ += count;
        skip_ -= count;
    }
    if (cut_) {
        return false;
    }
    skip_ = 0; // the end of the text stops a seek past it
    return !hard_error();
}

// Back to the start of the file, forgetting that the data ended inside a member; false
// when the file cannot seek.
bool GzipReader::rewind() {
    if (start_ < 0 || std::fseek(file_, start_, SEEK_SET) != 0) {
        return false;
    }
    std::clearerr(file_);
    inflater_.avail_in = 0;
    loaded_ = 0;
    file_end_ = false;
    error_ = Z_OK;
    step_ = Step::look_first;
    have_ = 0;
    position_ = 0;
    skip_ = 0;
    return true;
}

} // namespace zfile
