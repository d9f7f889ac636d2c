// SPDX-License-Identifier: MIT
#ifndef LIBTOOLS_PLATFORM_HEAP_H
#define LIBTOOLS_PLATFORM_HEAP_H

#include <cstddef>

namespace platform {

/// The heap's usable size of a live block from malloc/realloc; `requested` where the
/// heap cannot tell.
std::size_t heap_usable_size(void *block, std::size_t requested);

} // namespace platform

#endif
