// SPDX-License-Identifier: MIT
// The original text from the first line the preview has not yet paired with what
// was written: a queue of bytes, taken from its front one line at a time. Up to a
// bound it lies in memory; bytes that come while that much is held wait in scratch
// files (a run of comment lines gives no written line to pair with, so the bytes
// read ahead of the next written line have no bound of their own). A line taken from
// the front is always whole in memory, however long.
#ifndef JOINT2SI_DIFF_ORIGINAL_LINES_H
#define JOINT2SI_DIFF_ORIGINAL_LINES_H

#include "diff/spill_file.h"

#include <cstddef>
#include <cstring>
#include <string>

class OriginalLines {
  public:
    /// Holds up to `memory_limit` bytes in memory, more only for a longer line.
    explicit OriginalLines(std::size_t memory_limit);

    /// Appends `size` bytes of the text; false when they went to a scratch file and it
    /// failed.
    bool push(const char *data, std::size_t size);

    /// The length of the first line: its bytes through its "\n" or, when no "\n" is
    /// left, all the bytes left. They lie in memory from front() on until the next
    /// push or pop. False when no byte is left or a scratch file failed (failed()).
    bool measure_front(std::size_t *length) {
        if (measured_ != 0) {
            *length = measured_;
            return true;
        }
        return measure_slowly(length);
    }
    /// Whether the first line is exactly the `size` bytes of `line`, which end with
    /// their only "\n"; the line counts as measured then. False also when that line is
    /// not whole in memory yet.
    bool front_is(const char *line, std::size_t size) {
        if (size > in_memory() || std::memcmp(front(), line, size) != 0) {
            return false;
        }
        measured_ = size;
        return true;
    }
    /// The first byte of the line measure_front measured.
    const char *front() const { return memory_.data() + head_; }
    /// Drops the first line (the one measure_front measures).
    void pop_front();

    bool failed() const { return failed_; }
    /// Whether a scratch file was ever used.
    bool spilled() const { return files_[0].used() || files_[1].used(); }

  private:
    bool measure_slowly(std::size_t *length);
    bool refill();
    void compact();
    std::size_t in_memory() const { return memory_.size() - head_; }

    std::size_t limit_;
    std::string memory_;
    std::size_t head_ = 0;     // where the first line starts in memory_
    std::size_t scanned_ = 0;  // bytes from head_ on known to hold no "\n"
    std::size_t measured_ = 0; // the first line's length; 0 when not measured
    // The bytes after those in memory: the unread part of the file being read, then
    // what the other file was given since.
    SpillFile files_[2];
    int reading_ = 0;
    bool failed_ = false;
};

#endif
