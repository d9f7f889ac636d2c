// SPDX-License-Identifier: MIT
// The reader's engine: the file read block by block, member after member inflated, and
// what follows each member looked at.
#include "zfile/gzip_reader.h"

#include "platform/stream_io.h"
#include "platform/thread.h"
#include "zfile/gzip_header.h"

#include <cstring>
#include <new>

namespace zfile {

namespace {

constexpr int kGzipWindowBits = 15 + 16; // 16: a gzip header and trailer, checked

} // namespace

GzipReader::~GzipReader() {
    close();
}

bool GzipReader::open(std::FILE *file) {
    close(); // a reader opened again lets go of what it held first
    input_ = new (std::nothrow) unsigned char[kInputSize];
    output_ = new (std::nothrow) unsigned char[kOutputSize];
    inflater_ready_ = input_ != nullptr && output_ != nullptr &&
                      inflateInit2(&inflater_, kGzipWindowBits) == Z_OK;
    if (!inflater_ready_) {
        close();
        return false;
    }
    // Read through its descriptor (read_some), so stdio must hold nothing back.
    std::setvbuf(file, nullptr, _IONBF, 0);
    file_ = file;
    start_ = std::ftell(file);
    return true;
}

int GzipReader::close() {
    if (inflater_ready_) {
        inflateEnd(&inflater_);
        inflater_ready_ = false;
    }
    delete[] input_;
    delete[] output_;
    input_ = output_ = next_ = nullptr;
    have_ = 0;
    std::FILE *file = file_;
    file_ = nullptr;
    return file != nullptr && std::fclose(file) != 0 ? Z_ERRNO : Z_OK;
}

void GzipReader::fail(int code) {
    if (error_ == Z_OK) {
        error_ = code;
    }
    step_ = Step::end;
}

// A read of the file failed. In a worker told to stop it was cut short: the stream is
// not at fault, so nothing is recorded and only the call that met it gives up.
bool GzipReader::read_failed() {
    if (platform::told_to_stop()) {
        cut_ = true;
    } else {
        fail(Z_ERRNO);
    }
    return false;
}

// Reads until at least `count` bytes wait in the input or the file has ended, keeping
// the bytes that waited (moved to the front). Each read takes what the file gives at
// once, so input from a pipe is inflated as it comes. False after a failed read.
bool GzipReader::load_at_least(unsigned count) {
    while (inflater_.avail_in < count && !file_end_) {
        if (inflater_.avail_in > 0 && inflater_.next_in != input_) {
            std::memmove(input_, inflater_.next_in, inflater_.avail_in);
        }
        inflater_.next_in = input_;
        const long got = platform::read_some(file_, input_ + inflater_.avail_in,
                                             kInputSize - inflater_.avail_in);
        if (got < 0) {
            return read_failed();
        }
        inflater_.avail_in += static_cast<uInt>(got);
        loaded_ += got;
        file_end_ = got == 0;
    }
    return true;
}

// Decides what the bytes at the input's front are. At the start anything is taken (an
// empty input is an empty text); after a member only another member or the end of the
// file is, and anything else fails the stream.
void GzipReader::look() {
    if (!load_at_least(2)) {
        return;
    }
    const unsigned char *at = inflater_.next_in;
    const bool member = inflater_.avail_in >= 2 && at[0] == kGzipMagic[0] && at[1] == kGzipMagic[1];
    if (step_ == Step::look_first) {
        level_ = gzip_level_of_header(at, inflater_.avail_in);
    }
    if (member) {
        inflateReset(&inflater_);
        step_ = Step::inflate;
    } else if (inflater_.avail_in == 0) {
        step_ = Step::end;
    } else if (step_ == Step::look_next) {
        fail(Z_DATA_ERROR); // zlib's gzread would skip it without a word
    } else {
        step_ = Step::copy;
    }
}

// Inflates into `to` until it is full or the member ends (the next step is then to look
// at what follows). The count made; damage or truncation stops the stream with its code.
unsigned GzipReader::inflate_into(unsigned char *to, unsigned room) {
    inflater_.next_out = to;
    inflater_.avail_out = room;
    while (inflater_.avail_out > 0) {
        if (inflater_.avail_in == 0 && !load_at_least(1)) {
            break;
        }
        if (inflater_.avail_in == 0) {
            fail(Z_BUF_ERROR); // the file ended inside the member
            break;
        }
        const int result = inflate(&inflater_, Z_NO_FLUSH);
        if (result == Z_STREAM_END) {
            step_ = Step::look_next;
            break;
        }
        if (result == Z_NEED_DICT) {
            fail(Z_STREAM_ERROR);
            break;
        }
        if (result != Z_OK && result != Z_BUF_ERROR) {
            fail(result);
            break;
        }
    }
    return room - inflater_.avail_out;
}

// Passes input that is not gzip data through unchanged. The count copied.
unsigned GzipReader::copy_into(unsigned char *to, unsigned room) {
    if (inflater_.avail_in == 0 && !load_at_least(1)) {
        return 0;
    }
    if (inflater_.avail_in == 0) {
        step_ = Step::end;
        return 0;
    }
    const unsigned count = inflater_.avail_in < room ? inflater_.avail_in : room;
    std::memcpy(to, inflater_.next_in, count);
    inflater_.next_in += count;
    inflater_.avail_in -= count;
    return count;
}

// Makes up to `room` bytes of text at `to`: the count, 0 only at the end or on an error.
unsigned GzipReader::make(unsigned char *to, unsigned room) {
    for (;;) {
        unsigned made = 0;
        switch (step_) {
        case Step::look_first:
        case Step::look_next:
            look();
            if (cut_) {
                return 0;
            }
            continue;
        case Step::inflate:
            made = inflate_into(to, room);
            break;
        case Step::copy:
            made = copy_into(to, room);
            break;
        case Step::end:
            return 0;
        }
        if (made > 0 || cut_) {
            return made;
        }
    }
}

// Fills the output buffer when it is empty; false when nothing more comes. Text made
// before damage was found is dropped, as zlib's reader drops it: after damage every
// read, by bytes or by blocks, gives -1 alike.
bool GzipReader::refill() {
    if (have_ == 0) {
        next_ = output_;
        have_ = make(output_, kOutputSize);
        if (hard_error()) {
            have_ = 0;
        }
    }
    return have_ > 0;
}

int GzipReader::level() {
    if (step_ == Step::look_first && file_ != nullptr) {
        look();
    }
    return level_;
}

long long GzipReader::offset() const {
    if (start_ < 0) {
        return -1;
    }
    return start_ + loaded_ - static_cast<long long>(inflater_.avail_in);
}

} // namespace zfile
