// SPDX-License-Identifier: MIT
// The registry of open compressed streams: a singly linked list, newest entry first,
// with a one-entry cache in front of it. A handle is compressed exactly when it is
// listed here. Entries come from the standard heap, not from the tracked allocator, so
// the registry's bookkeeping never shows up as a leak of the toolkit.
//
// Streams are opened in one thread and may be read in another (the converter reads
// ahead in a thread of its own), so the list is walked and changed under a lock. The
// cache is written only under the lock and read without it: a handle found there was
// listed when it was stored, and it stays listed until its unregistration clears the
// cache, which happens before the handle can be closed and its address reused.
#include "zfile/registry.h"

#include <cstdlib>
#include <mutex>

namespace zfile {

std::atomic<ToolStream> lookup_cache{nullptr};
std::atomic<int> listed_count{0};

namespace {

std::mutex registry_lock;
RegistryEntry *registry_head = nullptr; // guarded by registry_lock

} // namespace

} // namespace zfile

using zfile::listed_count;
using zfile::lookup_cache;
using zfile::registry_head;
using zfile::registry_lock;
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
    const std::lock_guard<std::mutex> hold(registry_lock);
    entry->next = registry_head;
    registry_head = entry;
    listed_count.fetch_add(1, std::memory_order_release);
    lookup_cache.store(stream, std::memory_order_release);
    return 1;
}

int zfile_is_compressed(ToolStream stream) {
    if (stream == nullptr) {
        return 0;
    }
    if (stream == lookup_cache.load(std::memory_order_acquire)) {
        return 1;
    }
    const std::lock_guard<std::mutex> hold(registry_lock);
    for (const RegistryEntry *entry = registry_head; entry != nullptr; entry = entry->next) {
        if (entry->handle == stream) {
            lookup_cache.store(stream, std::memory_order_release);
            return 1;
        }
    }
    return 0;
}

int zfile_unregister(ToolStream stream) {
    if (stream == nullptr) {
        return 0;
    }
    RegistryEntry *entry = nullptr;
    {
        const std::lock_guard<std::mutex> hold(registry_lock);
        RegistryEntry **link = &registry_head;
        while (*link != nullptr && (*link)->handle != stream) {
            link = &(*link)->next;
        }
        entry = *link;
        if (entry == nullptr) {
            return 0;
        }
        *link = entry->next;
        listed_count.fetch_sub(1, std::memory_order_release);
        if (lookup_cache.load(std::memory_order_relaxed) == stream) {
            lookup_cache.store(nullptr, std::memory_order_release);
        }
    }
    std::free(entry);
    return 1;
}

} // extern "C"
