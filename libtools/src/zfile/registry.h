// The registry's state, shared with the operations so that the per-byte read
// can answer "compressed?" without a call in the common cases.
#ifndef LIBTOOLS_ZFILE_REGISTRY_H
#define LIBTOOLS_ZFILE_REGISTRY_H

#include "libtools/zfile.h"

namespace zfile {

struct RegistryEntry {
    ToolStream handle;
    int kind; // always 1: a zlib gzip stream
    RegistryEntry *next;
};

/// The newest entry; null when no compressed stream is open.
extern RegistryEntry *registry_head;
/// The handle last registered or found; null when none or when it was unregistered.
extern ToolStream lookup_cache;

/// zfile_is_compressed as a bool, answering from the cache, or from an empty
/// registry, without a call.
inline bool is_listed(ToolStream stream) {
    if (stream == lookup_cache) {
        return stream != nullptr;
    }
    return registry_head != nullptr && zfile_is_compressed(stream) != 0;
}

} // namespace zfile

#endif
