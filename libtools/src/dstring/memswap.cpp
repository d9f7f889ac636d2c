// SPDX-License-Identifier: MIT
// tool_memswap and its scratch block, kept between calls while it is small.
#include "dstring/source_tag.h"
#include "libtools/tool_dstring.h"
#include "libtools/tool_memory.h"

#include <cstring>

namespace {

constexpr unsigned kRetainedScratch = 1024;

void *scratch = nullptr;
unsigned scratch_size = 0;

// Gives the scratch block `n` bytes; on failure there is no scratch block.
void size_scratch(unsigned n) {
    if (scratch == nullptr) {
        scratch_size = n;
        scratch = tool_malloc(n, DSTRING_HERE);
    } else if (scratch_size != n) {
        scratch_size = n;
        void *resized = tool_realloc(scratch, n, DSTRING_HERE);
        if (resized == nullptr && n != 0) {
            tool_free(scratch, DSTRING_HERE);
        }
        scratch = resized;
    }
}

} // namespace

extern "C" void tool_memswap(void *a, void *b, unsigned n) {
    size_scratch(n);
    if (scratch != nullptr && a != nullptr && b != nullptr) {
        std::memcpy(scratch, a, n);
        std::memmove(a, b, n);
        std::memcpy(b, scratch, n);
    }
    if (scratch_size > kRetainedScratch) {
        tool_free(scratch, DSTRING_HERE);
        scratch = nullptr;
        scratch_size = 0;
    }
}
