// SPDX-License-Identifier: MIT
#include "libtools/tool_memory.h"
#include "support/memory_check.h"

#include <cstring>

namespace {

using TrackedMemory = LeakCheckedTest;

bool all_zero(const void *block, unsigned from, unsigned to) {
    const auto *bytes = static_cast<const unsigned char *>(block);
    for (unsigned i = from; i < to; ++i) {
        if (bytes[i] != 0) {
            return false;
        }
    }
    return true;
}

TEST_F(TrackedMemory, FreshBlocksReadAsZeroAndSizeZeroGivesNull) {
    EXPECT_EQ(tool_malloc(0, __FILE__, __LINE__), nullptr);
    for (unsigned size : {1u, 100u, 4096u}) {
        void *block = tool_malloc(size, __FILE__, __LINE__);
        ASSERT_NE(block, nullptr);
        EXPECT_TRUE(all_zero(block, 0, size)) << size;
        tool_free(block, __FILE__, __LINE__);
    }
}

TEST_F(TrackedMemory, GrowthKeepsContentAndZeroesTheNewPart) {
    auto *block = static_cast<unsigned char *>(tool_malloc(10, "a", 1));
    std::memset(block, 0xAB, 10);
    block = static_cast<unsigned char *>(tool_realloc(block, 100, "b", 2));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(block[i], 0xAB);
    }
    EXPECT_TRUE(all_zero(block, 10, 100));
    block = static_cast<unsigned char *>(tool_realloc(block, 5, "c", 3));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block[4], 0xAB);
    // Growing again after a shrink: the bytes the shrink gave up come back as zeros,
    // though the heap may have kept them (and their old content) behind the block.
    block = static_cast<unsigned char *>(tool_realloc(block, 100, "d", 4));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block[4], 0xAB);
    EXPECT_TRUE(all_zero(block, 5, 100));
    tool_free(block, nullptr, 0);
}

TEST_F(TrackedMemory, ReallocOfNullAllocatesAndSizeZeroReleases) {
    const long live = tool_memory_live_blocks();
    void *block = tool_realloc(nullptr, 16, __FILE__, __LINE__);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(all_zero(block, 0, 16));
    EXPECT_EQ(tool_memory_live_blocks(), live + 1);
    EXPECT_EQ(tool_realloc(block, 0, __FILE__, __LINE__), nullptr);
    EXPECT_EQ(tool_memory_live_blocks(), live);
    tool_free(nullptr, __FILE__, __LINE__);
}

// The noted size is the one last asked for, whatever the heap rounds it up to.
TEST_F(TrackedMemory, BlockSizeIsTheSizeLastAskedFor) {
    EXPECT_EQ(tool_block_size(nullptr), 0u);
    void *block = tool_malloc(10, __FILE__, __LINE__);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(tool_block_size(block), 10u);
    for (unsigned size : {100u, 3u, 4096u}) {
        block = tool_realloc(block, size, __FILE__, __LINE__);
        ASSERT_NE(block, nullptr) << size;
        EXPECT_EQ(tool_block_size(block), size);
    }
    tool_free(block, __FILE__, __LINE__);
}

TEST_F(TrackedMemory, InjectedFailureHitsTheChosenAllocationOnce) {
    tool_memory_fail_nth(2);
    void *first = tool_malloc(8, __FILE__, __LINE__);
    EXPECT_NE(first, nullptr);
    EXPECT_FALSE(tool_memory_failure_happened());
    EXPECT_EQ(tool_realloc(first, 64, __FILE__, __LINE__), nullptr);
    EXPECT_TRUE(tool_memory_failure_happened());
    void *third = tool_malloc(8, __FILE__, __LINE__);
    EXPECT_NE(third, nullptr);
    // The failed resize left the first block allocated and owned by the caller.
    tool_free(first, __FILE__, __LINE__);
    tool_free(third, __FILE__, __LINE__);
}

// The planned failure counts allocations and growing resizes only: a resize to the
// same or a smaller size passes it by, and any size above the last one counts.
TEST_F(TrackedMemory, InjectedFailureSkipsResizesThatDoNotGrow) {
    auto *block = static_cast<unsigned char *>(tool_malloc(64, __FILE__, __LINE__));
    ASSERT_NE(block, nullptr);
    block[0] = 0x5A;
    tool_memory_fail_nth(1);
    for (unsigned size : {64u, 32u, 32u, 1u}) {
        block = static_cast<unsigned char *>(tool_realloc(block, size, __FILE__, __LINE__));
        ASSERT_NE(block, nullptr) << size;
        EXPECT_EQ(block[0], 0x5A) << size;
    }
    EXPECT_FALSE(tool_memory_failure_happened());
    EXPECT_EQ(tool_realloc(block, 2, __FILE__, __LINE__), nullptr);
    EXPECT_TRUE(tool_memory_failure_happened());
    tool_free(block, __FILE__, __LINE__);
}

} // namespace
