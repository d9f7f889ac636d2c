// SPDX-License-Identifier: MIT
// Tracked memory: malloc/realloc/free with zero-filled growth, a live-block
// count and one injectable failure for tests. The requested size of each live
// block is noted so that the injected failure can tell a growing resize from
// one that keeps or shrinks the block.
//
// Any thread may allocate: the counters are atomic and the size table is locked.
// The lock is taken once per call, around the table alone, never around the heap.
#include "libtools/tool_memory.h"

#include "platform/heap.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>

namespace {

std::atomic<long> live_blocks{0};
// 0: no failure planned; n: the n-th allocation from now fails
std::atomic<long> fail_countdown{0};
std::atomic<bool> failure_happened{false};

// The size each live block was last asked for. A block missing here (its note
// could not be stored) counts as growing on every resize.
// Null when the table itself could not be had. Never destroyed: blocks may still
// be released while the process ends.
// Keyed by address value, so a block's note can be dropped after realloc moved it.
using SizeTable = std::unordered_map<std::uintptr_t, unsigned>;

std::uintptr_t key_of(const void *block) {
    return reinterpret_cast<std::uintptr_t>(block);
}

SizeTable *requested_sizes() {
    static auto *sizes = new (std::nothrow) SizeTable();
    return sizes;
}

// Guards the size table. Built in static storage (no allocation that could fail)
// and never destroyed, like the table.
std::mutex &table_lock() {
    alignas(std::mutex) static unsigned char storage[sizeof(std::mutex)];
    static std::mutex *lock = new (storage) std::mutex;
    return *lock;
}

void forget_size(std::uintptr_t key) {
    if (SizeTable *sizes = requested_sizes()) {
        std::lock_guard<std::mutex> lock(table_lock());
        sizes->erase(key);
    }
}

void note_size(std::uintptr_t key, unsigned size) {
    SizeTable *sizes = requested_sizes();
    if (sizes == nullptr) {
        return;
    }
    std::lock_guard<std::mutex> lock(table_lock());
    try {
        (*sizes)[key] = size;
    } catch (const std::bad_alloc &) {
        sizes->erase(key);
    }
}

// Whether resizing `block` to `size` asks for more than it was last given.
bool grows(const void *block, unsigned size) {
    const SizeTable *sizes = requested_sizes();
    if (sizes == nullptr) {
        return true;
    }
    std::lock_guard<std::mutex> lock(table_lock());
    const auto found = sizes->find(key_of(block));
    return found == sizes->end() || size > found->second;
}

// Whether this allocation is the one a test asked to fail: the call that takes the
// countdown from 1 to 0, in whatever thread it comes.
bool injected_failure() {
    long left = fail_countdown.load();
    while (left > 0 && !fail_countdown.compare_exchange_weak(left, left - 1)) {
    }
    if (left != 1) {
        return false;
    }
    failure_happened.store(true);
    errno = ENOMEM; // as the heap itself reports exhaustion
    return true;
}

void zero_tail(void *block, std::size_t from, std::size_t to) {
    if (to > from) {
        std::memset(static_cast<char *>(block) + from, 0, to - from);
    }
}

} // namespace

extern "C" {

void *tool_malloc(unsigned size, const char *, int) {
    if (size == 0 || injected_failure()) {
        return nullptr;
    }
    void *block = std::malloc(size);
    if (block == nullptr) {
        return nullptr;
    }
    ++live_blocks;
    note_size(key_of(block), size);
    zero_tail(block, 0, platform::heap_usable_size(block, size));
    return block;
}

void *tool_realloc(void *block, unsigned size, const char *source_file, int source_line) {
    if (block == nullptr) {
        return tool_malloc(size, source_file, source_line);
    }
    if (size == 0) {
        tool_free(block, source_file, source_line);
        return nullptr;
    }
    const std::size_t old_usable = platform::heap_usable_size(block, 0);
    // A resize that keeps or shrinks the block cannot fail for want of memory.
    if (grows(block, size) && injected_failure()) {
        return nullptr;
    }
    const std::uintptr_t old_key = key_of(block);
    void *resized = std::realloc(block, size);
    if (resized == nullptr) {
        return nullptr;
    }
    forget_size(old_key);
    note_size(key_of(resized), size);
    zero_tail(resized, old_usable, platform::heap_usable_size(resized, size));
    return resized;
}

void tool_free(void *block, const char *, int) {
    if (block != nullptr) {
        --live_blocks;
        forget_size(key_of(block));
        std::free(block);
    }
}

long tool_memory_live_blocks(void) {
    return live_blocks.load();
}

void tool_memory_fail_nth(long n) {
    failure_happened.store(false);
    fail_countdown.store(n > 0 ? n : 0);
}

int tool_memory_failure_happened(void) {
    return failure_happened.load() ? 1 : 0;
}

unsigned tool_block_size(const void *block) {
    const SizeTable *sizes = requested_sizes();
    if (block == nullptr || sizes == nullptr) {
        return 0;
    }
    std::lock_guard<std::mutex> lock(table_lock());
    const auto found = sizes->find(key_of(block));
    return found != sizes->end() ? found->second : 0;
}

} // extern "C"
