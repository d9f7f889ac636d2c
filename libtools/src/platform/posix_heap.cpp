// SPDX-License-Identifier: MIT
#include "platform/heap.h"

#include <malloc.h>

namespace platform {

std::size_t heap_usable_size(void *block, std::size_t requested) {
    const std::size_t usable = malloc_usable_size(block);
    return usable >= requested ? usable : requested;
}

} // namespace platform
