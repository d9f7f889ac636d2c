// SPDX-License-Identifier: MIT
// Rewriting a file while memory runs out at each point in turn: in the tracked
// allocator and in standard C++ code (strings, containers) alike. No exception may
// leave the library or the converter, the file keeps its old or gets its whole
// new content, and no replacement file stays behind.
#include "file/rewrite_file.h"
#include "libtools/tool_sys_io.h"
#include "support/memory_check.h"
#include "support/process_control.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>

namespace fs = std::filesystem;

namespace {

// The n-th operator new from arming fails (0: none); counts down while armed.
long new_countdown = 0;
bool new_failed = false;

void *allocate(std::size_t size) {
    if (new_countdown > 0 && --new_countdown == 0) {
        new_failed = true;
        throw std::bad_alloc();
    }
    void *block = std::malloc(size != 0 ? size : 1);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

} // namespace

void *operator new(std::size_t size) {
    return allocate(size);
}
void *operator new[](std::size_t size) {
    return allocate(size);
}
void *operator new(std::size_t size, const std::nothrow_t &) noexcept {
    try {
        return allocate(size);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}
void *operator new[](std::size_t size, const std::nothrow_t &tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void *block, const std::nothrow_t &) noexcept {
    std::free(block);
}
void operator delete[](void *block, const std::nothrow_t &) noexcept {
    std::free(block);
}
void operator delete(void *block) noexcept {
    std::free(block);
}
void operator delete[](void *block) noexcept {
    std::free(block);
}
void operator delete(void *block, std::size_t) noexcept {
    std::free(block);
}
void operator delete[](void *block, std::size_t) noexcept {
    std::free(block);
}

namespace {

const char kOld[] = "shear_force 1\n// note\nbending_moment 2\n";
const char kNew[] = "shear_force 1000.000000\nbending_moment 2000.000000\n";

class AllocationFailure : public LeakCheckedTest {
  protected:
    // Rewrites a.jnt in a new directory with a long name (so paths outgrow short-string
    // buffers, and the directory is met for the first time) with the n-th allocation of
    // the chosen kind failing; whether that allocation came.
    bool rewrite_failing(long n, bool standard_heap) {
        const std::string name =
            std::string(40, 'd') + (standard_heap ? "s" : "t") + std::to_string(n);
        fs::create_directory(dir_.file(name));
        dir_.write(name + "/a.jnt", kOld);
        const std::string path = (dir_.file(name) / "a.jnt").string();
        Progress progress;
        FileRun run;
        run.progress = &progress;
        FileSettings settings;
        settings.conversion = {1000.0, 1000.0};
        ConversionCounts counts;
        new_failed = false;
        bool escaped = false;
        testing::internal::CaptureStderr();
        if (standard_heap) {
            new_countdown = n;
        } else {
            tool_memory_fail_nth(n);
        }
        try {
            rewrite_file(path.c_str(), settings, &run, &counts);
        } catch (...) {
            escaped = true;
        }
        new_countdown = 0;
        testing::internal::GetCapturedStderr();
        const bool reached = standard_heap ? new_failed : tool_memory_failure_happened() != 0;
        tool_memory_fail_nth(0);
        EXPECT_FALSE(escaped) << "an exception left rewrite_file at allocation " << n;
        const std::string content = dir_.read(name + "/a.jnt");
        EXPECT_TRUE(content == kOld || content == kNew) << "allocation " << n << ": " << content;
        EXPECT_EQ(entries(dir_.file(name)), 1) << "allocation " << n << " left a replacement";
        return reached;
    }

    static int entries(const fs::path &directory) {
        int count = 0;
        for (auto it = fs::directory_iterator(directory); it != fs::directory_iterator(); ++it) {
            ++count;
        }
        return count;
    }

    TempDir dir_;
};

TEST_F(AllocationFailure, EveryFailurePointLeavesAWholeFileAndNoException) {
    for (const bool standard_heap : {false, true}) {
        long n = 1;
        while (rewrite_failing(n, standard_heap) && n < 10000) {
            ++n;
        }
        EXPECT_GT(n, 1) << "no allocation was made";
        std::printf("%s: %ld failure points\n", standard_heap ? "operator new" : "tracked", n - 1);
    }
}

} // namespace
