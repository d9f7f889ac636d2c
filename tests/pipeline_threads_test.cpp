// SPDX-License-Identifier: MIT
// The pipeline's worker threads: blocks go round a fixed ring, so nothing is
// allocated while a worker runs; a worker that waits in a read or a write nothing
// will complete is stopped at once; workers never take an interrupt; the library's
// counters hold across threads.
#include "pipeline/read_ahead.h"
#include "pipeline/write_behind.h"
#include "support/stalls.h"

#include "libtools/tool_memory.h"
#include "libtools/tool_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <new>
#include <thread>
#include <vector>

namespace {

std::atomic<bool> counting{false};
std::atomic<long> allocations{0}; // operator new calls, in any thread, while counting

// Called through a pointer the optimiser cannot follow: seeing free() inlined into the
// replaced delete, GCC would take it for the library's and warn of a mismatch.
void (*volatile release)(void *) = std::free;

} // namespace

void *operator new(std::size_t size) {
    allocations += counting.load() ? 1 : 0;
    void *block = std::malloc(size != 0 ? size : 1);
    return block != nullptr ? block : throw std::bad_alloc();
}
void *operator new(std::size_t size, const std::nothrow_t &) noexcept {
    allocations += counting.load() ? 1 : 0;
    return std::malloc(size != 0 ? size : 1);
}
void operator delete(void *block) noexcept {
    release(block);
}
void operator delete(void *block, std::size_t) noexcept {
    release(block);
}

namespace {

constexpr std::size_t kBlockSize = 4096;

long endless_source(void *, char *buffer, std::size_t size) {
    std::fill(buffer, buffer + size, 'x');
    return static_cast<long>(size);
}

struct TakingSink : OutputSink {
    bool append(const char *, std::size_t) override { return true; }
    bool finish() override { return true; }
};

TEST(PipelineThreads, NothingIsAllocatedOnceTheWorkersRun) {
    std::vector<char> buffer(kBlockSize);
    ReadingStop stop;
    ReadAhead ahead(ByteSource{nullptr, endless_source}, kBlockSize, &stop);
    TakingSink sink;
    WriteBehind behind(&sink, &stop);
    Block block{std::vector<char>(kBlockSize), kBlockSize};
    const ByteSource source = ahead.source();
    source.read(source.context, buffer.data(), kBlockSize); // starts the reading thread
    behind.hand_over(&block);                               // starts the writing thread
    allocations = 0;
    counting = true;
    for (int i = 0; i < 1000; ++i) {
        EXPECT_EQ(source.read(source.context, buffer.data(), kBlockSize), long{kBlockSize});
        block.used = kBlockSize;
        EXPECT_TRUE(behind.hand_over(&block));
    }
    EXPECT_TRUE(behind.finish(&block));
    counting = false;
    EXPECT_EQ(allocations.load(), 0) << "in 1000 blocks read ahead and written behind";
}

// Runs `stop`; when it has not returned after a while the test fails, and `release`
// ends the stall so that the test itself ends.
void expect_prompt(const std::function<void()> &stop, const std::function<void()> &release) {
    std::atomic<bool> stopped{false};
    std::thread watchdog([&] {
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!stopped.load() && std::chrono::steady_clock::now() < give_up) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!stopped.load()) {
            ADD_FAILURE() << "stopping waited for the stalled call";
            release();
        }
    });
    stop();
    stopped = true;
    watchdog.join();
}

struct PipeSink : OutputSink {
    explicit PipeSink(int end) : end(end) {}
    bool append(const char *data, std::size_t size) override {
        ++writes;
        return write_pipe(end, data, size) == static_cast<long>(size);
    }
    bool finish() override { return true; }

    int end;
    std::atomic<int> writes{0}; // begun
};

TEST(PipelineThreads, AWriteNothingWillCompleteIsCutAtCancel) {
    PipeEnds pipe;
    ASSERT_TRUE(open_pipe(&pipe));
    PipeSink target(pipe.write_end);
    ReadingStop stop;
    WriteBehind behind(&target, &stop);
    // Larger than any pipe's buffer: the thread waits in its write of the first block.
    Block block{std::vector<char>(std::size_t{4} << 20, 'y'), std::size_t{4} << 20};
    ASSERT_TRUE(behind.hand_over(&block));
    while (target.writes.load() < 1) {
        std::this_thread::yield();
    }
    std::thread draining;
    expect_prompt([&] { behind.cancel(); },
                  [&] {
                      draining = std::thread([&] {
                          char sink[4096];
                          while (read_pipe(pipe.read_end, sink, sizeof sink) > 0) {
                          }
                      });
                  });
    EXPECT_FALSE(behind.finish(&block)) << "the output was not written whole";
    close_pipe_end(&pipe.write_end);
    if (draining.joinable()) {
        draining.join();
    }
    close_pipe_end(&pipe.read_end);
}

// What a worker found out about itself.
struct WorkerView {
    int read_end;
    bool worker = false;
    bool interrupts_blocked = false;
    long read_result = 0;
    bool told_to_stop = false;
};

TEST(PipelineThreads, WorkersTakeNoInterruptAndTheirReadsAreCut) {
    PipeEnds pipe;
    ASSERT_TRUE(open_pipe(&pipe));
    WorkerView view{pipe.read_end};
    ToolThread *thread = tool_thread_start(
        [](void *context) {
            auto *seen = static_cast<WorkerView *>(context);
            seen->worker = tool_thread_is_worker() != 0;
            seen->interrupts_blocked = interrupts_blocked_here();
            char byte = 0;
            seen->read_result = read_pipe(seen->read_end, &byte, 1); // nothing comes
            seen->told_to_stop = tool_thread_told_to_stop() != 0;
        },
        &view);
    ASSERT_NE(thread, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // to be in its read
    expect_prompt([&] { tool_thread_stop(&thread); }, [&] { close_pipe_end(&pipe.write_end); });
    EXPECT_EQ(tool_thread_is_worker(), 0);
    EXPECT_TRUE(view.worker && view.interrupts_blocked && view.told_to_stop);
    EXPECT_EQ(view.read_result, -1) << "the read should have been cut";
    close_pipe_end(&pipe.write_end);
    close_pipe_end(&pipe.read_end);
}

// Several workers allocate at once with one failure planned: exactly one fails, and
// the live-block count comes back to where it was.
TEST(PipelineThreads, TrackedMemoryCountsAcrossThreads) {
    std::atomic<long> failures{0};
    const long live_before = tool_memory_live_blocks();
    tool_memory_fail_nth(4000);
    std::vector<ToolThread *> threads(4);
    for (ToolThread *&thread : threads) {
        thread = tool_thread_start(
            [](void *context) {
                for (int i = 0; i < 2000; ++i) {
                    void *block = tool_malloc(16, __FILE__, __LINE__);
                    *static_cast<std::atomic<long> *>(context) += block == nullptr ? 1 : 0;
                    tool_free(block, __FILE__, __LINE__);
                }
            },
            &failures);
    }
    for (ToolThread *&thread : threads) {
        ASSERT_NE(thread, nullptr);
        tool_thread_join(&thread);
    }
    EXPECT_EQ(failures.load(), 1);
    EXPECT_EQ(tool_memory_live_blocks(), live_before);
    tool_memory_fail_nth(0);
}

} // namespace
