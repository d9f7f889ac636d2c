// SPDX-License-Identifier: MIT
#include "pipeline/spare_buffers.h"

#include <cstddef>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

namespace {

// As many as conversions may run at once (one per job, --jobs at most 64): more would
// only be memory nobody asks for again.
constexpr std::size_t kMostKept = 64;

template <typename T>
class SparePool {
  public:
    // Keeping never allocates: it fills only the room reserved here, none when memory
    // ran out (every buffer is then freed as it comes back).
    SparePool() noexcept {
        try {
            kept_.reserve(kMostKept);
        } catch (const std::bad_alloc &) {
        }
    }

    T take() {
        const std::lock_guard<std::mutex> hold(lock_);
        if (kept_.empty()) {
            return T{};
        }
        T item = std::move(kept_.back());
        kept_.pop_back();
        return item;
    }

    void keep(T item) noexcept {
        const std::lock_guard<std::mutex> hold(lock_);
        if (kept_.size() < kept_.capacity()) {
            kept_.push_back(std::move(item));
        }
    }

  private:
    std::mutex lock_;
    std::vector<T> kept_;
};

SparePool<Block> &blocks() {
    static SparePool<Block> pool;
    return pool;
}

SparePool<LineReaderStorage> &reader_storages() {
    static SparePool<LineReaderStorage> pool;
    return pool;
}

} // namespace

Block take_spare_block() {
    return blocks().take();
}

void keep_spare_block(Block block) noexcept {
    blocks().keep(std::move(block));
}

LineReaderStorage take_reader_storage() {
    return reader_storages().take();
}

void keep_reader_storage(LineReaderStorage storage) noexcept {
    reader_storages().keep(std::move(storage));
}
