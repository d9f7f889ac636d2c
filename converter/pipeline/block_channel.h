// SPDX-License-Identifier: MIT
// Blocks of bytes passed between two threads of one conversion: the worker that
// reads ahead or writes behind, and the thread that converts.
//
// A fixed set of blocks goes round between two channels, one of blocks to use and
// one of blocks used. Each channel is a ring of slots sized when it is made, as
// large as the whole set, so it is never full: putting and taking only move a
// block's storage from one place to another (a vector's move, which cannot fail)
// and nothing is allocated or freed while the conversion runs.
//
// Either side can stop the other: close() lets the blocks already in the channel be
// taken and then ends the taking; cancel() ends putting and taking at once and wakes
// a thread that waits. The channel's lock is taken by put, take, close and cancel
// alone; a failure to take it is a programming error and ends the process.
#ifndef JOINT2SI_BLOCK_CHANNEL_H
#define JOINT2SI_BLOCK_CHANNEL_H

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <type_traits>
#include <utility>
#include <vector>

/// A block: its storage and how many of its bytes hold data.
struct Block {
    std::vector<char> bytes;
    std::size_t used = 0;
};

static_assert(std::is_nothrow_move_assignable<Block>::value, "moving a block cannot fail");

/// A queue of blocks from one thread to another, with room for a fixed number.
class BlockChannel {
  public:
    /// Room for `capacity` blocks: the only allocation the channel makes.
    explicit BlockChannel(std::size_t capacity) : slots_(capacity) {}
    BlockChannel(const BlockChannel &) = delete;
    BlockChannel &operator=(const BlockChannel &) = delete;

    /// Moves `*block` in, leaving `*block` without storage. False, with `*block` as it
    /// was, when the channel is closed, cancelled or full.
    bool put(Block *block) noexcept {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (closed_ || cancelled_ || count_ == slots_.size()) {
                return false;
            }
            slots_[(first_ + count_) % slots_.size()] = std::move(*block);
            ++count_;
        }
        *block = Block{};
        ready_.notify_one();
        return true;
    }

    /// Waits for a block and moves it into `*block`, whose own storage is released (pass
    /// one without storage). False when the channel is cancelled, or once it is closed
    /// and empty.
    bool take(Block *block) noexcept {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [this] { return cancelled_ || closed_ || count_ > 0; });
        if (cancelled_ || count_ == 0) {
            return false;
        }
        *block = std::move(slots_[first_]);
        first_ = (first_ + 1) % slots_.size();
        --count_;
        return true;
    }

    /// Takes no more blocks; the blocks in it can still be taken.
    void close() noexcept {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closed_ = true;
        }
        ready_.notify_all();
    }

    /// Whether cancel() was called.
    bool cancelled() noexcept {
        std::lock_guard<std::mutex> lock(mutex_);
        return cancelled_;
    }

    /// Ends putting and taking at once; a thread waiting in take returns false.
    void cancel() noexcept {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            cancelled_ = true;
        }
        ready_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::vector<Block> slots_; // the ring; slots outside [first_, first_ + count_) are empty
    std::size_t first_ = 0;
    std::size_t count_ = 0;
    bool closed_ = false;
    bool cancelled_ = false;
};

#endif
