// Tracked memory: malloc/realloc/free with zero-filled growth, a live-block
// count and one injectable failure for tests. The requested size of each live
// block is noted so that the injected failure can tell a growing resize from
// one that keeps or shrinks the block.
#include "libtools/tool_memory.h"

#include "platform/heap.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_map>

namespace {

long live_blocks = 0;
long fail_countdown = 0; // 0: no failure planned; n: the n-th allocation from now fails
bool failure_happened = false;

// The size each live block was last asked for. A block missing here (its note
// could not be stored) counts as growing on every resize.
// Null when the table itself could not be had. Never destroyed: blocks may still
// be released while the process ends.
// Keyed by address value: a block's old address is forgotten after realloc moved it.
using SizeTable = std::unordered_map<std::uintptr_t, unsigned>;
SizeTable *requested_sizes() {
    static auto *sizes = new (std::nothrow) SizeTable();
    return sizes;
}

void forget_size(std::uintptr_t address) {
    if (SizeTable *sizes = requested_sizes()) {
        sizes->erase(address);
    }
}

void note_size(const void *block, unsigned size) {
    SizeTable *sizes = requested_sizes();
    if (sizes == nullptr) {
        return;
    }
    try {
        (*sizes)[reinterpret_cast<std::uintptr_t>(block)] = size;
    } catch (const std::bad_alloc &) {
        sizes->erase(reinterpret_cast<std::uintptr_t>(block));
    }
}

// Whether resizing `block` to `size` asks for more than it was last given.
bool grows(const void *block, unsigned size) {
    const SizeTable *sizes = requested_sizes();
    if (sizes == nullptr) {
        return true;
    }
    const auto found = sizes->find(reinterpret_cast<std::uintptr_t>(block));
    return found == sizes->end() || size > found->second;
}

// Whether this allocation is the one a test asked to fail.
bool injected_failure() {
    if (fail_countdown == 0 || --fail_countdown != 0) {
        return false;
    }
    failure_happened = true;
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
    note_size(block, size);
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
    const auto old_address = reinterpret_cast<std::uintptr_t>(block);
    // A resize that keeps or shrinks the block cannot fail for want of memory.
    if (grows(block, size) && injected_failure()) {
        return nullptr;
    }
    void *resized = std::realloc(block, size);
    if (resized == nullptr) {
        return nullptr;
    }
    forget_size(old_address);
    note_size(resized, size);
    zero_tail(resized, old_usable, platform::heap_usable_size(resized, size));
    return resized;
}

void tool_free(void *block, const char *, int) {
    if (block != nullptr) {
        --live_blocks;
        forget_size(reinterpret_cast<std::uintptr_t>(block));
        std::free(block);
    }
}

long tool_memory_live_blocks(void) {
    return live_blocks;
}

void tool_memory_fail_nth(long n) {
    fail_countdown = n > 0 ? n : 0;
    failure_happened = false;
}

int tool_memory_failure_happened(void) {
    return failure_happened ? 1 : 0;
}

} // extern "C"
