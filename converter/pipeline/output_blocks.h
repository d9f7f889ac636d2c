// SPDX-License-Identifier: MIT
// The conversion's output buffer: bytes are appended into one large block, and a full
// block goes to the sink, written behind by another thread once the output outgrows one
// block (or, for a watched conversion, written here, in step with what the watcher is
// told).
#ifndef JOINT2SI_PIPELINE_OUTPUT_BLOCKS_H
#define JOINT2SI_PIPELINE_OUTPUT_BLOCKS_H

#include "convert/byte_streams.h"
#include "convert/short_copy.h"
#include "pipeline/write_behind.h"
#include "pipeline/write_prefetch.h"

#include <cstddef>
#include <cstdint>

class OutputBlocks {
  public:
    static constexpr std::size_t kBlockSize = std::size_t{256} * 1024;

    /// Writes into `sink`; `behind`: full blocks are written by a thread of their own,
    /// whose failure stops the reading through `stop`.
    OutputBlocks(OutputSink *sink, bool behind, ReadingStop *stop);
    ~OutputBlocks();
    OutputBlocks(const OutputBlocks &) = delete;
    OutputBlocks &operator=(const OutputBlocks &) = delete;

    JOINT2SI_HOT_INLINE void append(const char *data, std::size_t size) {
        if (static_cast<std::size_t>(end_ - next_) < size) {
            flush_for(size);
        }
        next_ = copy_short(next_, data, size);
    }

    /// Appends a line end ("\n" or "\r\n" in practice). Once a line, it also asks for the
    /// output's cache lines a little ahead to be readied for writing (write_prefetch.h).
    JOINT2SI_HOT_INLINE void append_line_end(const char *line_end, std::size_t size) {
        write_prefetch(reinterpret_cast<std::uintptr_t>(next_) + kPrefetchAhead, prefetch_);
        if (size == 0 || size > 2) {
            append(line_end, size);
            return;
        }
        if (static_cast<std::size_t>(end_ - next_) < 2) {
            flush_for(2);
        }
        next_[0] = line_end[0];
        next_[1] = line_end[size - 1]; // written over by the next line when size is 1
        next_ += size;
    }

    /// Whether a write has failed; what is appended after that is dropped.
    bool failed() const { return failed_; }

    /// Writes the rest and waits for every write; false when any failed.
    bool flush();

  private:
    // How far ahead of the next byte the output's lines are asked for: a few lines, so
    // that each has arrived when the first store reaches it.
    static constexpr std::uintptr_t kPrefetchAhead = 256;

    void reset();
    void flush_for(std::size_t size);
    bool write(Block *block);

    OutputSink *sink_;
    bool behind_;
    bool prefetch_; // the blocks go to another thread, and the processor has the hint
    WriteBehind writer_;
    bool failed_ = false;
    Block current_;
    char *begin_ = nullptr;
    char *next_ = nullptr;
    char *end_ = nullptr;
};

#endif
