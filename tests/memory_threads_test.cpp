// SPDX-License-Identifier: MIT
// The tracked allocator used from two threads at once. CMake runs this file with the
// C library's heap made to share freed blocks between threads at once (one arena, no
// per-thread cache), as the Windows heap does, so that an address one thread's resize
// gives back is the next one another thread gets.
#include "libtools/tool_memory.h"
#include "support/memory_check.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using TrackedMemoryThreads = LeakCheckedTest;

// One thread resizes blocks so that the heap moves them (a block behind each keeps it
// from growing in place); the other allocates blocks of the size they had, which the
// heap may give at the address just given back. Every block keeps the size asked for.
TEST_F(TrackedMemoryThreads, EveryBlockKeepsItsSizeWhileAnotherThreadResizes) {
    constexpr unsigned kSmall = 2048;
    constexpr unsigned kLarge = 8192;
    std::atomic<bool> stop{false};
    std::atomic<long> other_wrong{0};
    std::thread other([&] {
        while (!stop.load()) {
            void *block = tool_malloc(kSmall, __FILE__, __LINE__);
            if (block != nullptr && tool_block_size(block) != kSmall) {
                ++other_wrong;
            }
            tool_free(block, __FILE__, __LINE__);
        }
    });
    long wrong = 0;
    for (int i = 0; i < 200000; ++i) {
        void *block = tool_malloc(kSmall, __FILE__, __LINE__);
        void *behind = tool_malloc(kSmall, __FILE__, __LINE__);
        block = tool_realloc(block, kLarge, __FILE__, __LINE__);
        if (block != nullptr && tool_block_size(block) != kLarge) {
            ++wrong;
        }
        tool_free(block, __FILE__, __LINE__);
        tool_free(behind, __FILE__, __LINE__);
    }
    stop.store(true);
    other.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(other_wrong.load(), 0);
}

} // namespace
