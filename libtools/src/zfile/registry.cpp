// The registry of open compressed streams: a singly linked list, newest entry
// first, with a one-entry cache in front of it. A handle is compressed exactly
// when it is listed here. Entries come from the standard heap, not from the
// tracked allocator, so the registry's bookkeeping never shows up as a leak of
// the toolkit.
#include "libtools/zfile.h"

#include <cstdlib>

namespace {

struct RegistryEntry {
    ToolStream handle;
    int kind; // always 1: a zlib gzip stream
    RegistryEntry *next;
};

RegistryEntry *registry_head = nullptr;
// The handle last registered or found; answers the common case of one open
// compressed stream without walking the list.
ToolStream lookup_cache = nullptr;

} // namespace

extern "C" {

int zfile_register(ToolStream stream) {
    if (stream == nullptr) {
        return 0;
    }
    auto *entry = static_cast<RegistryEntry *>(std::calloc(1, sizeof(RegistryEntry)));
    if (entry == nullptr) {
        return 0;
    }
    entry->handle = stream;
    entry->kind = 1;
    entry->next = registry_head;
    registry_head = entry;
    lookup_cache = stream;
    return 1;
}

int zfile_is_compressed(ToolStream stream) {
    if (stream == nullptr) {
        return 0;
    }
    if (stream == lookup_cache) {
        return 1;
    }
    for (const RegistryEntry *entry = registry_head; entry != nullptr; entry = entry->next) {
        if (entry->handle == stream) {
            lookup_cache = stream;
            return 1;
        }
    }
    return 0;
}

int zfile_unregister(ToolStream stream) {
    if (stream == nullptr) {
        return 0;
    }
    RegistryEntry **link = &registry_head;
    while (*link != nullptr && (*link)->handle != stream) {
        link = &(*link)->next;
    }
    RegistryEntry *entry = *link;
    if (entry == nullptr) {
        return 0;
    }
    if (lookup_cache == stream) {
        lookup_cache = nullptr;
    }
    *link = entry->next;
    std::free(entry);
    return 1;
}

} // extern "C"
