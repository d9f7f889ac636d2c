// SPDX-License-Identifier: MIT
#include "pipeline/output_blocks.h"

#include "pipeline/spare_buffers.h"

#include <utility>

OutputBlocks::OutputBlocks(OutputSink *sink, bool behind, ReadingStop *stop)
    : sink_(sink), behind_(behind), prefetch_(behind && write_prefetch_available()),
      writer_(sink, stop), current_(take_spare_block()) {
    if (current_.bytes.size() < kBlockSize) {
        current_.bytes.resize(kBlockSize);
    }
    reset();
}

OutputBlocks::~OutputBlocks() {
    keep_spare_block(std::move(current_));
}

bool OutputBlocks::flush() {
    current_.used = static_cast<std::size_t>(next_ - begin_);
    if (behind_) {
        failed_ = !writer_.finish(&current_) || failed_;
    } else {
        failed_ = failed_ || !write(&current_);
    }
    reset();
    return !failed_;
}

void OutputBlocks::reset() {
    current_.used = 0;
    begin_ = next_ = current_.bytes.data();
    end_ = begin_ + current_.bytes.size();
}

// Writes the block here, in the converting thread; false when the sink refused it.
bool OutputBlocks::write(Block *block) {
    const bool written = block->used == 0 || sink_->append(block->bytes.data(), block->used);
    block->used = 0;
    return written;
}

void OutputBlocks::flush_for(std::size_t size) {
    current_.used = static_cast<std::size_t>(next_ - begin_);
    if (behind_) {
        failed_ = !writer_.hand_over(&current_) || failed_;
    } else {
        failed_ = failed_ || !write(&current_);
    }
    if (size > current_.bytes.size()) { // one very long line
        current_.bytes.resize(size);
    }
    reset();
}
