// Tracked memory: malloc/realloc/free with zero-filled growth, a live-block
// count and one injectable failure for tests.
#include "libtools/tool_memory.h"

#include "platform/heap.h"

#include <cstdlib>
#include <cstring>

namespace {

long live_blocks = 0;
long fail_countdown = 0; // 0: no failure planned; n: the n-th allocation from now fails
bool failure_happened = false;

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
    if (injected_failure()) {
        return nullptr;
    }
    void *resized = std::realloc(block, size);
    if (resized == nullptr) {
        return nullptr;
    }
    zero_tail(resized, old_usable, platform::heap_usable_size(resized, size));
    return resized;
}

void tool_free(void *block, const char *, int) {
    if (block != nullptr) {
        --live_blocks;
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
