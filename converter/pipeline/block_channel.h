// Blocks of bytes passed between two threads of one conversion: the thread that
// reads ahead or writes behind, and the thread that converts.
//
// A fixed set of blocks goes round between two channels, one of blocks to use and
// one of blocks used, so nothing is allocated while the conversion runs and the
// memory held stays that of the set.
#ifndef JOINT2SI_BLOCK_CHANNEL_H
#define JOINT2SI_BLOCK_CHANNEL_H

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <utility>
#include <vector>

/// A block: its storage and how many of its bytes hold data.
struct Block {
    std::vector<char> bytes;
    std::size_t used = 0;
};

/// A queue of blocks from one thread to another.
class BlockChannel {
  public:
    /// Adds a block; false when the channel is closed (the block is dropped).
    bool put(Block block) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (closed_) {
                return false;
            }
            blocks_.push_back(std::move(block));
        }
        ready_.notify_one();
        return true;
    }

    /// Waits for a block and takes it; false once the channel is closed and empty.
    bool take(Block *block) {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [this] { return closed_ || !blocks_.empty(); });
        if (blocks_.empty()) {
            return false;
        }
        *block = std::move(blocks_.front());
        blocks_.pop_front();
        return true;
    }

    /// Takes no more blocks; the blocks in it can still be taken.
    void close() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closed_ = true;
        }
        ready_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Block> blocks_;
    bool closed_ = false;
};

#endif
