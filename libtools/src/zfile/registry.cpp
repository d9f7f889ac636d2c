// The registry of open compressed streams: a singly linked list, newest entry
// first, with a one-entry cache in front of it. A handle is compressed exactly
// when it is listed here. Entries come from the standard heap, not from the
// tracked allocator, so the registry's bookkeeping never shows up as a leak of
// the toolkit.
#include "zfile/registry.h"

#include <cstdlib>
#include <cstring>

namespace zfile {

RegistryEntry *registry_head = nullptr;
// Answers the common case of one open compressed stream without walking the list.
std::atomic<ToolStream> lookup_cache{nullptr};

RegistryEntry *entry_of(ToolStream stream) {
    for (RegistryEntry *entry = registry_head; entry != nullptr; entry = entry->next) {
        if (entry->handle == stream) {
            return entry;
        }
    }
    return nullptr;
}

bool remember_path(ToolStream stream, const char *path) {
    RegistryEntry *entry = entry_of(stream);
    const std::size_t size = std::strlen(path) + 1;
    char *copy = entry != nullptr ? static_cast<char *>(std::malloc(size)) : nullptr;
    if (copy == nullptr) {
        return false;
    }
    std::memcpy(copy, path, size);
    entry->path = copy;
    return true;
}

} // namespace zfile

using zfile::lookup_cache;
using zfile::registry_head;
using zfile::RegistryEntry;

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
    lookup_cache.store(stream, std::memory_order_relaxed);
    return 1;
}

int zfile_is_compressed(ToolStream stream) {
    if (stream == nullptr) {
        return 0;
    }
    if (stream == lookup_cache.load(std::memory_order_relaxed)) {
        return 1;
    }
    for (const RegistryEntry *entry = registry_head; entry != nullptr; entry = entry->next) {
        if (entry->handle == stream) {
            lookup_cache.store(stream, std::memory_order_relaxed);
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
    ToolStream cached = stream;
    lookup_cache.compare_exchange_strong(cached, nullptr, std::memory_order_relaxed);
    *link = entry->next;
    std::free(entry->path);
    std::free(entry);
    return 1;
}

} // extern "C"
