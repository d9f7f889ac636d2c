// SPDX-License-Identifier: MIT
#include "platform/heap.h"

#include <malloc.h>

namespace platform {

std::size_t heap_usable_size(void *block, std::size_t requested) {
    if (block == nullptr) {
        return requested;
    }
    // _msize reports (size_t)-1 for a block it does not know.
    const std::size_t usable = _msize(block);
    if (usable == static_cast<std::size_t>(-1)) {
        return requested;
    }
    return usable >= requested ? usable : requested;
}

} // namespace platform
