// SPDX-License-Identifier: MIT
// The registry's state, shared with the operations so that the per-byte read can
// answer "compressed?" without taking the lock in the common cases.
#ifndef LIBTOOLS_ZFILE_REGISTRY_H
#define LIBTOOLS_ZFILE_REGISTRY_H

#include "libtools/zfile.h"

#include <atomic>

namespace zfile {

struct RegistryEntry {
    ToolStream handle;
    int kind; // always 1: a compressed stream of the layer
    RegistryEntry *next;
};

/// The handle last registered or found; null when none or when it was unregistered.
/// Written only under the registry's lock, read without it.
extern std::atomic<ToolStream> lookup_cache;
/// How many handles are listed, so that plain streams skip the lock while none is.
extern std::atomic<int> listed_count;

/// zfile_is_compressed as a bool, answering from the cache, or from an empty
/// registry, without taking the lock.
inline bool is_listed(ToolStream stream) {
    if (stream == nullptr) {
        return false;
    }
    if (stream == lookup_cache.load(std::memory_order_acquire)) {
        return true;
    }
    return listed_count.load(std::memory_order_acquire) > 0 && zfile_is_compressed(stream) != 0;
}

} // namespace zfile

#endif
