// Text that is built up and then copied out whole, in order: the first bytes in
// memory, up to a bound, the rest in a scratch file. Memory then stays within the
// bound however much is held.
#ifndef JOINT2SI_SPILL_BUFFER_H
#define JOINT2SI_SPILL_BUFFER_H

#include "diff/spill_file.h"

#include <cstddef>
#include <cstdio>
#include <string>

class SpillBuffer {
  public:
    /// Holds up to `memory_limit` bytes in memory (at least one).
    explicit SpillBuffer(std::size_t memory_limit);

    /// Appends `size` bytes; false when they went to the file and it failed.
    bool append(const char *data, std::size_t size);
    bool append(const std::string &text) { return append(text.data(), text.size()); }

    /// Writes the content to `out` and empties the buffer; false when a write failed
    /// or the file could not be read back.
    bool move_to(std::FILE *out);
    /// Appends the content to `to` and empties this buffer; false as append and move_to.
    bool move_to(SpillBuffer *to);

    /// Empties the buffer.
    void clear();

    unsigned long long size() const { return memory_.size() + file_.size(); }
    bool empty() const { return size() == 0; }
    /// Whether a scratch file was ever used.
    bool spilled() const { return file_.used(); }

  private:
    bool move_out(bool (*take)(void *, const char *, std::size_t), void *to);

    std::string memory_;
    std::size_t limit_;
    SpillFile file_;
};

#endif
