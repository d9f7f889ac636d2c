// SPDX-License-Identifier: MIT
#include "pipeline/write_behind.h"

#include "pipeline/worker_faults.h"

#include <new>
#include <utility>

namespace {

// Blocks going round: the one being filled, one being written, one waiting.
constexpr std::size_t kBlocks = 3;

} // namespace

WriteBehind::WriteBehind(OutputSink *sink, ReadingStop *stop)
    : sink_(sink), reading_(stop), to_write_(kBlocks), written_(kBlocks) {
    reading_->clear();
}

WriteBehind::~WriteBehind() {
    cancel();
    reading_->clear();
}

void WriteBehind::cancel() noexcept {
    cancelled_ = true;
    if (started_) {
        to_write_.cancel();
        written_.cancel();
        thread_.stop();
        started_ = false;
    }
}

bool WriteBehind::write_now(Block *block) const {
    const bool written = block->used == 0 || sink_->append(block->bytes.data(), block->used);
    block->used = 0;
    return written;
}

bool WriteBehind::hand_over(Block *block) {
    if (!started_ && !threadless_ && !cancelled_) {
        start(block->bytes.size());
    }
    if (started_) {
        if (to_write_.put(block)) {
            written_.take(block); // waits while the thread writes the blocks before
        }
    } else if (!cancelled_ && !failed_.load() && !write_now(block)) {
        failed_.store(true);
    }
    block->used = 0;
    return !failed_.load() && !cancelled_;
}

bool WriteBehind::finish(Block *block) {
    if (started_) {
        to_write_.put(block);
        to_write_.close();
        thread_.join();
        started_ = false;
        error_ = error_ ? error_ : thread_.error();
        written_.take(block); // one of the blocks back, for the next output
    } else if (!cancelled_ && !failed_.load() && !write_now(block)) {
        failed_.store(true);
    }
    block->used = 0;
    if (error_) {
        std::rethrow_exception(error_);
    }
    return !failed_.load() && !cancelled_;
}

// Starts the thread with two more blocks of the current one's size. Without memory
// for them or a thread, blocks are written in this thread as before.
void WriteBehind::start(std::size_t block_size) {
    try {
        for (std::size_t i = 1; i < kBlocks; ++i) {
            Block block{std::vector<char>(block_size), 0};
            written_.put(&block);
        }
    } catch (const std::bad_alloc &) {
        threadless_ = true;
        return;
    }
    started_ = thread_.start(run, this);
    threadless_ = !started_;
}

// The thread: writes every block it is given, in order, and gives it back, so the
// converting thread always gets its blocks back. written_ is closed when it ends, so
// a converting thread waiting for a block is never left waiting.
void WriteBehind::run(void *self) {
    auto *behind = static_cast<WriteBehind *>(self);
    Block block;
    while (behind->to_write_.take(&block)) {
        behind->write_one(&block);
        if (!behind->written_.put(&block)) {
            break;
        }
    }
    behind->written_.close();
}

// Writes one block unless a write failed before; a failure or an exception is kept
// for the converting thread. The block is empty afterwards.
void WriteBehind::write_one(Block *block) noexcept {
    if (!failed_.load()) {
        try {
            throw_if_block_fails(WorkerSide::writing);
            failed_.store(!write_now(block));
        } catch (...) {
            error_ = std::current_exception();
            failed_.store(true);
        }
        if (failed_.load()) {
            reading_->stop();
        }
    }
    block->used = 0;
}
