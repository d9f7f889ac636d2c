// SPDX-License-Identifier: MIT
// Text that is built up and then copied out whole, in order, with a bounded part of
// it in memory: bytes gather in a block of memory, and a full block is written to a
// scratch file. A text that fits in the block never touches a file.
#ifndef JOINT2SI_DIFF_SPILL_BUFFER_H
#define JOINT2SI_DIFF_SPILL_BUFFER_H

#include "diff/spill_file.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

class SpillBuffer {
  public:
    /// Holds up to `memory_limit` bytes in memory (at least one).
    explicit SpillBuffer(std::size_t memory_limit);

    /// Appends `size` bytes; false when the scratch file failed.
    bool append(const char *data, std::size_t size) {
        if (size <= limit_ - used_ && memory_ != nullptr) {
            std::memcpy(memory_.get() + used_, data, size);
            used_ += size;
            return true;
        }
        return append_slowly(data, size);
    }
    bool append(const std::string &text) { return append(text.data(), text.size()); }
    bool append(char c) {
        if (used_ < limit_ && memory_ != nullptr) {
            memory_[used_++] = c;
            return true;
        }
        return append_slowly(&c, 1);
    }

    /// Writes the content to `out` and empties the buffer; false when a write failed
    /// or the file could not be read back.
    bool move_to(std::FILE *out);
    /// Appends the content to `to` and empties this buffer; false as append and move_to.
    bool move_to(SpillBuffer *to);

    /// Empties the buffer.
    void clear();

    unsigned long long size() const { return file_.size() + used_; }
    bool empty() const { return size() == 0; }
    /// Whether a scratch file was ever used.
    bool spilled() const { return file_.used(); }

  private:
    bool append_slowly(const char *data, std::size_t size);
    bool move_out(bool (*take)(void *, const char *, std::size_t), void *to);

    std::size_t limit_;
    // Made on the first append, left uninitialised: pages never written take no memory.
    std::unique_ptr<char[]> memory_;
    std::size_t used_ = 0; // bytes in memory_, after those in the file
    SpillFile file_;
};

#endif
