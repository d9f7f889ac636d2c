#include "pipeline/read_ahead.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <utility>

namespace {

// Blocks going round: one being converted, one being read, one ready in between.
constexpr int kBlocks = 3;

} // namespace

ReadAhead::ReadAhead(ByteSource source, std::size_t block_size)
    : source_(source), block_size_(std::max<std::size_t>(block_size, 1)) {}

ReadAhead::~ReadAhead() {
    if (started_) {
        to_fill_.close(); // the thread ends at its next block
        filled_.close();
        thread_.join();
    }
}

long ReadAhead::read_through(void *context, char *buffer, std::size_t size) {
    return static_cast<ReadAhead *>(context)->read(buffer, size);
}

long ReadAhead::read(char *buffer, std::size_t size) {
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
        return failed_ ? -1 : 0;
    }
    const std::size_t count = std::min(size, current_.used - taken_);
    std::memcpy(buffer, current_.bytes.data() + taken_, count);
    taken_ += count;
    return static_cast<long>(count);
}

// Gives the used block back and takes the next one; false at the end of the input.
bool ReadAhead::next_block() {
    if (ended_) {
        return false;
    }
    if (!current_.bytes.empty()) {
        to_fill_.put(std::move(current_));
    }
    current_ = Block{};
    taken_ = 0;
    if (!filled_.take(&current_) || current_.used == 0) {
        ended_ = true;
        if (error_) {
            std::rethrow_exception(error_);
        }
        return false;
    }
    return true;
}

// Starts the thread; when the system cannot give one, the source is read in this
// thread as before.
void ReadAhead::start() {
    for (int i = 0; i < kBlocks; ++i) {
        to_fill_.put(Block{std::vector<char>(block_size_), 0});
    }
    try {
        thread_ = std::thread([this] { run(); });
        started_ = true;
    } catch (const std::system_error &) {
        started_ = false;
    }
}

// The thread. Whatever it meets goes back to the converting thread with the empty
// block that ends the input.
void ReadAhead::run() {
    try {
        read_blocks();
    } catch (...) {
        error_ = std::current_exception();
        filled_.put(Block{});
    }
}

// Fills blocks until the source ends or fails, or the reading is stopped. The last
// block sent is empty; failed_ is set before it is sent.
void ReadAhead::read_blocks() {
    Block block;
    while (to_fill_.take(&block)) {
        const long got = source_.read(source_.context, block.bytes.data(), block.bytes.size());
        block.used = got > 0 ? static_cast<std::size_t>(got) : 0;
        failed_ = got < 0;
        if (!filled_.put(std::move(block)) || got <= 0) {
            return;
        }
        block = Block{};
    }
}
