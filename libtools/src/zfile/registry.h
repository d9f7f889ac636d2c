// The registry's state, shared with the operations so that the per-byte read
// can answer "compressed?" without a call in the common cases.
#ifndef LIBTOOLS_ZFILE_REGISTRY_H
#define LIBTOOLS_ZFILE_REGISTRY_H

#include "libtools/zfile.h"

#include <atomic>
#include <cstddef>

namespace zfile {

struct RegistryEntry {
    ToolStream handle;
    int kind; // always 1: a zlib gzip stream
    RegistryEntry *next;
    char *path;      // the file a reading stream reads, to check what follows its members;
                     // null for a writing stream (standard heap, freed with the entry)
    int members_end; // 0 not checked yet; 1 the file ends with its last member; -1 other
                     // data follows the last member
    int same_file;   // 1 when `path` must still lead to the file `device` and `index` name
    unsigned long long device;
    unsigned long long index;
    int level; // the compression level its header records; 0 when not read at the open
};

/// Notes the file a registered reading stream reads; false when memory ran out.
bool remember_path(ToolStream stream, const char *path);

/// The entry of a registered stream; null when it is not registered.
RegistryEntry *entry_of(ToolStream stream);

/// Whether the file at `path` holds gzip members and nothing else: zlib skips data
/// after the last member that does not begin like a member, so a reader would take a
/// file with text appended for a whole one. For an entry with `same_file` set, the file
/// is opened without a step that can block and must be the one the entry names (false
/// when it is not).
bool only_gzip_members(const RegistryEntry &entry);

/// The bytes of a gzip header up to its extra-flags byte, which tells the level.
constexpr std::size_t kGzipHeaderStart = 9;

/// The compression level a gzip header of `size` bytes records, as zfile_gzip_level
/// gives it.
int gzip_level_of_header(const unsigned char *header, std::size_t size);

/// The newest entry; null when no compressed stream is open. Changed by the main
/// thread alone, while no worker uses a stream.
extern RegistryEntry *registry_head;
/// The handle last registered or found; null when none or when it was unregistered.
/// Atomic, because a lookup stores what it found and threads that use different
/// streams look up at the same time; relaxed, since only the value matters.
extern std::atomic<ToolStream> lookup_cache;

/// zfile_is_compressed as a bool, answering from the cache, or from an empty
/// registry, without a call.
inline bool is_listed(ToolStream stream) {
    if (stream == lookup_cache.load(std::memory_order_relaxed)) {
        return stream != nullptr;
    }
    return registry_head != nullptr && zfile_is_compressed(stream) != 0;
}

} // namespace zfile

#endif
