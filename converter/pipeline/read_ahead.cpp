// SPDX-License-Identifier: MIT
#include "pipeline/read_ahead.h"

#include "pipeline/worker_faults.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace {

// Blocks going round: one being converted, one being read, one ready in between.
constexpr std::size_t kBlocks = 3;

} // namespace

ReadAhead::ReadAhead(ByteSource source, std::size_t block_size, ReadingStop *stop)
    : source_(source), block_size_(std::max<std::size_t>(block_size, 1)), stop_(stop),
      to_fill_(kBlocks), filled_(kBlocks) {}

ReadAhead::~ReadAhead() {
    cancel();
}

void ReadAhead::cancel() noexcept {
    cancelled_ = true;
    if (started_) {
        stop_->detach();
        to_fill_.cancel();
        filled_.cancel();
        thread_.stop();
        started_ = false;
    }
}

long ReadAhead::read_through(void *context, char *buffer, std::size_t size) {
    return static_cast<ReadAhead *>(context)->read(buffer, size);
}

long ReadAhead::read(char *buffer, std::size_t size) {
    if (cancelled_) {
        return -1;
    }
    if (!first_read_done_) {
        first_read_done_ = true;
        const long got = source_.read(source_.context, buffer, size);
        if (got > 0 && static_cast<std::size_t>(got) == size) {
            start();
        } else {
            ended_ = got <= 0; // nothing more is asked of the source after an end
        }
        return got;
    }
    if (!started_) {
        return ended_ ? 0 : source_.read(source_.context, buffer, size);
    }
    if (taken_ == current_.used && !next_block()) {
        return end_result_;
    }
    const std::size_t count = std::min(size, current_.used - taken_);
    std::memcpy(buffer, current_.bytes.data() + kHeadRoom + taken_, count);
    taken_ += count;
    return static_cast<long>(count);
}

// Gives the used block back and takes the next one; false at the end of the input,
// with end_result_ set.
bool ReadAhead::next_block() {
    if (ended_) {
        return false;
    }
    if (!current_.bytes.empty()) {
        to_fill_.put(&current_);
    }
    current_.used = 0;
    taken_ = 0;
    if (filled_.take(&current_)) {
        return true;
    }
    end_of_blocks();
    return false;
}

// After the last block: what the end gives (end_result_), the thread's exception thrown
// again. The thread has closed filled_, or the output's failure cancelled it.
long ReadAhead::end_of_blocks() {
    ended_ = true;
    if (filled_.cancelled()) { // the output failed; the thread may still be in a read
        end_result_ = -1;
        return end_result_;
    }
    // Closed: the thread has set failed_ and error_ for good.
    if (error_) {
        std::rethrow_exception(error_);
    }
    end_result_ = failed_ ? -1 : 0;
    return end_result_;
}

long ReadAhead::take(std::vector<char> *block) {
    if (cancelled_) {
        return -1;
    }
    if (ended_) {
        return end_result_;
    }
    Block next;
    if (filled_.take(&next)) {
        *block = std::move(next.bytes);
        return static_cast<long>(next.used);
    }
    return end_of_blocks();
}

void ReadAhead::give_back(std::vector<char> *block) {
    Block given{std::move(*block), 0};
    block->clear();
    if (given.bytes.size() > kHeadRoom + kPadding) {
        to_fill_.put(&given); // refused only once cancelled or closed: then it is freed
    }
}

// Starts the thread with its blocks. Without memory for them or a thread, the source
// is read in this thread as before.
void ReadAhead::start() {
    try {
        for (std::size_t i = 0; i < kBlocks; ++i) {
            Block block{std::vector<char>(kHeadRoom + block_size_ + kPadding), 0};
            to_fill_.put(&block);
        }
    } catch (const std::bad_alloc &) {
        return;
    }
    started_ = thread_.start(run, this);
    if (started_) {
        stop_->attach(&filled_);
    }
}

// The thread. The end of the input, a failure and whatever it throws all end with
// filled_ closed, which the converting thread meets after the last block.
void ReadAhead::run(void *self) {
    auto *ahead = static_cast<ReadAhead *>(self);
    try {
        ahead->read_blocks();
    } catch (...) {
        ahead->error_ = std::current_exception();
    }
    ahead->filled_.close();
}

// Fills blocks until the source ends or fails, or the reading is cancelled.
void ReadAhead::read_blocks() {
    Block block;
    while (to_fill_.take(&block)) {
        throw_if_block_fails(WorkerSide::reading);
        const std::size_t room = block.bytes.size() - kHeadRoom - kPadding;
        const long got = source_.read(source_.context, block.bytes.data() + kHeadRoom, room);
        if (got <= 0) {
            failed_ = got < 0;
            return;
        }
        block.used = static_cast<std::size_t>(got);
        if (!filled_.put(&block)) {
            return;
        }
    }
}
