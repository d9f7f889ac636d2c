// SPDX-License-Identifier: MIT
#include "diff/spill_buffer.h"

#include <algorithm>
#include <vector>

namespace {

bool write_to_stream(void *out, const char *data, std::size_t size) {
    return std::fwrite(data, 1, size, static_cast<std::FILE *>(out)) == size;
}

bool append_to_buffer(void *to, const char *data, std::size_t size) {
    return static_cast<SpillBuffer *>(to)->append(data, size);
}

} // namespace

SpillBuffer::SpillBuffer(std::size_t memory_limit)
    : limit_(std::max<std::size_t>(memory_limit, 1)) {}

// Makes room by writing the block to the file, or writes bytes too many for an empty
// block straight there.
bool SpillBuffer::append_slowly(const char *data, std::size_t size) {
    if (memory_ == nullptr) {
        memory_.reset(new char[limit_]);
    }
    if (size > limit_ - used_) {
        if (used_ != 0 && !file_.write(memory_.get(), used_)) {
            return false;
        }
        used_ = 0;
        if (size > limit_) {
            return file_.write(data, size);
        }
    }
    std::memcpy(memory_.get() + used_, data, size);
    used_ += size;
    return true;
}

bool SpillBuffer::move_out(bool (*take)(void *, const char *, std::size_t), void *to) {
    bool ok = !file_.failed();
    if (ok && file_.size() != 0) {
        // The file's bytes come first; the block of memory serves to read them back.
        ok = file_.start_reading();
        std::vector<char> block;
        char *room = memory_.get() + used_;
        std::size_t room_size = limit_ - used_;
        if (room_size < 4096) {
            block.resize(4096);
            room = block.data();
            room_size = block.size();
        }
        while (ok && file_.unread() != 0) {
            const std::size_t got = file_.read(room, room_size);
            ok = got != 0 && take(to, room, got);
        }
    }
    ok = ok && (used_ == 0 || take(to, memory_.get(), used_));
    clear();
    return ok;
}

bool SpillBuffer::move_to(std::FILE *out) {
    return move_out(write_to_stream, out);
}

bool SpillBuffer::move_to(SpillBuffer *to) {
    return move_out(append_to_buffer, to);
}

void SpillBuffer::clear() {
    used_ = 0; // the memory stays for the next content
    file_.clear();
}
