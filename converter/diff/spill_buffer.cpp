#include "diff/spill_buffer.h"

#include <algorithm>
#include <vector>

namespace {

// How much of a file is copied at a time.
constexpr std::size_t kCopyBlock = std::size_t{64} * 1024;

bool write_to_stream(void *out, const char *data, std::size_t size) {
    return std::fwrite(data, 1, size, static_cast<std::FILE *>(out)) == size;
}

bool append_to_buffer(void *to, const char *data, std::size_t size) {
    return static_cast<SpillBuffer *>(to)->append(data, size);
}

} // namespace

SpillBuffer::SpillBuffer(std::size_t memory_limit)
    : limit_(std::max<std::size_t>(memory_limit, 1)) {}

bool SpillBuffer::append(const char *data, std::size_t size) {
    // Once the file holds the tail, everything after it goes there too.
    if (file_.size() != 0 || file_.failed() || memory_.size() + size > limit_) {
        return file_.write(data, size);
    }
    if (memory_.capacity() < limit_) {
        // All the room at once: growth by doubling could pass the bound. Pages not
        // written to take no memory.
        memory_.reserve(limit_);
    }
    memory_.append(data, size);
    return true;
}

bool SpillBuffer::move_out(bool (*take)(void *, const char *, std::size_t), void *to) {
    bool ok = memory_.empty() || take(to, memory_.data(), memory_.size());
    if (ok && file_.size() != 0) {
        ok = file_.start_reading();
        std::vector<char> block(
            static_cast<std::size_t>(std::min<unsigned long long>(kCopyBlock, file_.size())));
        while (ok && file_.unread() != 0) {
            const std::size_t got = file_.read(block.data(), block.size());
            ok = got != 0 && take(to, block.data(), got);
        }
    }
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
    memory_.clear(); // the room stays for the next content
    file_.clear();
}
