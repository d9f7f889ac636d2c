// SPDX-License-Identifier: MIT
// Tracked memory: malloc/realloc/free with zero-filled growth, a live-block
// count and one injectable failure for tests. The requested size of each live
// block is noted: a resize zero-fills from the old requested size to the new one,
// and the injected failure tells a growing resize from one that keeps or shrinks
// the block. Only the requested bytes are ever written, never the slack the heap
// may add behind them, so the fortified memset and the sanitizers see no overflow.
//
// Any thread may allocate: the counters are atomic and the size table is locked,
// shard by shard. A lock is held around a shard of the table alone, never around
// the heap.
#include "libtools/tool_memory.h"

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

// The size each live block was last asked for. Every live block has its note: an
// allocation whose note cannot be stored fails, and a resize moves the note's node
// to the new address, which allocates nothing.
// Keyed by address value, so a block's note can be moved after realloc moved it.
using SizeTable = std::unordered_map<std::uintptr_t, unsigned>;

// The notes are spread over shards by address, each with its own lock, so threads
// that allocate at once seldom wait for each other.
struct alignas(64) Shard {
    std::mutex lock;
    SizeTable sizes;
};

constexpr unsigned shard_bits = 6;

std::uintptr_t key_of(const void *block) {
    return reinterpret_cast<std::uintptr_t>(block);
}

// Null when the shards themselves could not be had (then every allocation fails).
// Never destroyed: blocks may still be released while the process ends.
Shard *shards() {
    static auto *all = new (std::nothrow) Shard[std::size_t{1} << shard_bits];
    return all;
}

// Heap blocks are at least 16-byte aligned: the bits above those pick the shard,
// mixed so that neighbouring blocks land in different shards.
Shard &shard_of(Shard *all, std::uintptr_t key) {
    const std::uint64_t mixed = static_cast<std::uint64_t>(key >> 4) * 0x9E3779B97F4A7C15ULL;
    return all[mixed >> (64 - shard_bits)];
}

void forget_size(std::uintptr_t key) {
    if (Shard *all = shards()) {
        Shard &shard = shard_of(all, key);
        std::lock_guard<std::mutex> lock(shard.lock);
        shard.sizes.erase(key);
    }
}

// False when the note could not be stored.
bool note_size(std::uintptr_t key, unsigned size) {
    Shard *all = shards();
    if (all == nullptr) {
        return false;
    }
    Shard &shard = shard_of(all, key);
    std::lock_guard<std::mutex> lock(shard.lock);
    try {
        shard.sizes[key] = size;
        return true;
    } catch (const std::bad_alloc &) {
        shard.sizes.erase(key);
        return false;
    }
}

// The size `block` was last given; false for a block the allocator holds no note of.
bool noted_size(const void *block, unsigned *size) {
    Shard *all = shards();
    if (all == nullptr) {
        return false;
    }
    Shard &shard = shard_of(all, key_of(block));
    std::lock_guard<std::mutex> lock(shard.lock);
    const auto found = shard.sizes.find(key_of(block));
    if (found == shard.sizes.end()) {
        return false;
    }
    *size = found->second;
    return true;
}

// A resize takes its block's note out of the table before the heap may free the old
// address, and puts it back under the address the block has after it: an allocation
// in another thread that is given the old address at once notes its own size and
// meets no note of the block. Putting a node back allocates nothing, so this cannot
// fail once the heap has moved the block. Meanwhile no other thread asks for the
// note, since the block is the caller's.
// An empty node when the block has no note.
SizeTable::node_type take_note(std::uintptr_t key) {
    Shard *all = shards();
    if (all == nullptr) {
        return {};
    }
    Shard &shard = shard_of(all, key);
    std::lock_guard<std::mutex> lock(shard.lock);
    return shard.sizes.extract(key);
}

void put_note(SizeTable::node_type note) {
    Shard &shard = shard_of(shards(), note.key());
    std::lock_guard<std::mutex> lock(shard.lock);
    shard.sizes.insert(std::move(note));
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
    if (!note_size(key_of(block), size)) {
        std::free(block);
        return nullptr;
    }
    ++live_blocks;
    zero_tail(block, 0, size);
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
    SizeTable::node_type note = take_note(key_of(block));
    // A block without a note did not come from here: nothing says which of its bytes
    // are the caller's, so it is left as it is.
    if (note.empty()) {
        return nullptr;
    }
    const unsigned old_size = note.mapped();
    // A resize that keeps or shrinks the block cannot fail for want of memory.
    if (size > old_size && injected_failure()) {
        put_note(std::move(note));
        return nullptr;
    }
    void *resized = std::realloc(block, size);
    if (resized == nullptr) {
        put_note(std::move(note)); // the block stays where it was
        return nullptr;
    }
    note.key() = key_of(resized);
    note.mapped() = size;
    put_note(std::move(note));
    zero_tail(resized, old_size, size);
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
    unsigned size = 0;
    return block != nullptr && noted_size(block, &size) ? size : 0;
}

} // extern "C"
