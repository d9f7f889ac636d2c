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

// operator new calls in any thread while armed.
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void *allocate(std::size_t size) {
    if (counting.load()) {
        ++allocations;
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

constexpr std::size_t kBlockSize = 4096;
constexpr long kBlocks = 1000;

char byte_at(long long position) {
    return static_cast<char>(position % 251);
}

// Bytes byte_at(0), byte_at(1), ... without end.
long endless_source(void *context, char *buffer, std::size_t size) {
    auto *position = static_cast<long long *>(context);
    for (std::size_t i = 0; i < size; ++i) {
        buffer[i] = byte_at((*position)++);
    }
    return static_cast<long>(size);
}

// Takes bytes and checks that they continue byte_at's sequence.
struct CheckedTarget {
    long long position = 0;
    bool in_order = true;

    static bool write(void *context, const char *data, std::size_t size) {
        auto *target = static_cast<CheckedTarget *>(context);
        for (std::size_t i = 0; i < size; ++i) {
            target->in_order = target->in_order && data[i] == byte_at(target->position++);
        }
        return true;
    }
};

// kBlocks blocks through a ReadAhead; false when a byte came out of order.
bool read_blocks_ahead() {
    long long position = 0;
    ReadAhead ahead(ByteSource{&position, endless_source}, kBlockSize);
    const ByteSource source = ahead.source();
    std::vector<char> buffer(kBlockSize);
    bool in_order = source.read(source.context, buffer.data(), kBlockSize) == kBlockSize;
    counting = true; // the thread and its blocks are there now
    long long expected = kBlockSize;
    for (long i = 0; i < kBlocks; ++i) {
        const long got = source.read(source.context, buffer.data(), kBlockSize);
        for (long j = 0; j < got; ++j) {
            in_order = in_order && buffer[static_cast<std::size_t>(j)] == byte_at(expected++);
        }
    }
    counting = false;
    return in_order;
}

// kBlocks blocks through a WriteBehind; false when a byte came out of order.
bool write_blocks_behind() {
    CheckedTarget target;
    WriteBehind behind(OutputTarget{&target, CheckedTarget::write});
    Block block{std::vector<char>(kBlockSize), 0};
    long long position = 0;
    for (long i = 0; i <= kBlocks; ++i) {
        for (char &byte : block.bytes) {
            byte = byte_at(position++);
        }
        block.used = kBlockSize;
        behind.hand_over(&block);
        counting = true; // after the first hand-over, which starts the thread
    }
    behind.finish(&block);
    counting = false;
    return target.in_order && target.position == position;
}

TEST(PipelineThreads, NothingIsAllocatedOnceTheWorkersRun) {
    allocations = 0;
    EXPECT_TRUE(read_blocks_ahead());
    EXPECT_EQ(allocations.load(), 0) << "while " << kBlocks << " blocks were read ahead";
    allocations = 0;
    EXPECT_TRUE(write_blocks_behind());
    EXPECT_EQ(allocations.load(), 0) << "while " << kBlocks << " blocks were written behind";
}

// Runs `stop` and fails the test when it has not returned after a while; then
// `release` ends the stall so that the test itself ends.
void expect_prompt(const std::function<void()> &stop, const std::function<void()> &release,
                   const char *what) {
    std::atomic<bool> stopped{false};
    std::thread watchdog([&] {
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!stopped.load() && std::chrono::steady_clock::now() < give_up) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!stopped.load()) {
            ADD_FAILURE() << what << " waited for the stalled call";
            release();
        }
    });
    stop();
    stopped = true;
    watchdog.join();
}

// Reads `size` bytes from a pipe as gzread does: until all came, the end, or a failure.
struct PipeSource {
    int end;
    std::atomic<int> reads{0}; // begun

    static long read(void *context, char *buffer, std::size_t size) {
        auto *source = static_cast<PipeSource *>(context);
        ++source->reads;
        std::size_t done = 0;
        while (done < size) {
            const long got = read_pipe(source->end, buffer + done, size - done);
            if (got <= 0) {
                return done > 0 ? static_cast<long>(done) : got;
            }
            done += static_cast<std::size_t>(got);
        }
        return static_cast<long>(done);
    }
};

struct PipeTarget {
    int end;
    std::atomic<int> writes{0}; // begun

    static bool write(void *context, const char *data, std::size_t size) {
        auto *target = static_cast<PipeTarget *>(context);
        ++target->writes;
        return write_pipe(target->end, data, size) == static_cast<long>(size);
    }
};

TEST(PipelineThreads, AReadNothingWillCompleteIsCutAtCancel) {
    PipeEnds pipe;
    ASSERT_TRUE(open_pipe(&pipe));
    const std::vector<char> first(kBlockSize, 'x');
    ASSERT_EQ(write_pipe(pipe.write_end, first.data(), first.size()), long{kBlockSize});
    PipeSource source{pipe.read_end};
    ReadAhead ahead(ByteSource{&source, PipeSource::read}, kBlockSize);
    const ByteSource through = ahead.source();
    std::vector<char> buffer(kBlockSize);
    ASSERT_EQ(through.read(through.context, buffer.data(), kBlockSize), long{kBlockSize});
    while (source.reads.load() < 2) { // the thread begins its read of the next block
        std::this_thread::yield();
    }
    expect_prompt([&] { ahead.cancel(); }, [&] { close_pipe_end(&pipe.write_end); }, "cancel");
    EXPECT_EQ(through.read(through.context, buffer.data(), kBlockSize), -1);
    close_pipe_end(&pipe.write_end);
    close_pipe_end(&pipe.read_end);
}

TEST(PipelineThreads, AWriteNothingWillCompleteIsCutAtCancel) {
    PipeEnds pipe;
    ASSERT_TRUE(open_pipe(&pipe));
    PipeTarget target{pipe.write_end};
    WriteBehind behind(OutputTarget{&target, PipeTarget::write});
    // Larger than any pipe's buffer: the thread waits in its write of the first block.
    Block block{std::vector<char>(std::size_t{4} << 20, 'y'), 0};
    for (int i = 0; i < 2; ++i) {
        block.used = block.bytes.size();
        ASSERT_TRUE(behind.hand_over(&block));
    }
    while (target.writes.load() < 1) {
        std::this_thread::yield();
    }
    const auto drain = [&] {
        std::vector<char> sink(1 << 16);
        while (read_pipe(pipe.read_end, sink.data(), sink.size()) > 0) {
        }
    };
    std::thread draining;
    expect_prompt([&] { behind.cancel(); }, [&] { draining = std::thread(drain); }, "cancel");
    block.used = block.bytes.size();
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

TEST(PipelineThreads, WorkersTakeNoInterruptAndTheirCallsAreCut) {
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
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // let it reach its read
    expect_prompt([&] { tool_thread_stop(&thread); }, [&] { close_pipe_end(&pipe.write_end); },
                  "tool_thread_stop");
    EXPECT_EQ(thread, nullptr);
    EXPECT_EQ(tool_thread_is_worker(), 0);
    EXPECT_TRUE(view.worker);
    EXPECT_TRUE(view.interrupts_blocked);
    EXPECT_EQ(view.read_result, -1) << "the read should have been cut";
    EXPECT_TRUE(view.told_to_stop);
    close_pipe_end(&pipe.write_end);
    close_pipe_end(&pipe.read_end);
}

// Allocations of several workers at once with one failure planned: exactly one fails,
// and the live-block count comes back to where it was.
TEST(PipelineThreads, TrackedMemoryCountsAcrossThreads) {
    constexpr int kWorkers = 4;
    constexpr long kEach = 2000;
    std::atomic<long> failures{0};
    const long live_before = tool_memory_live_blocks();
    tool_memory_fail_nth(kWorkers * kEach / 2);
    ToolThread *threads[kWorkers] = {};
    for (ToolThread *&thread : threads) {
        thread = tool_thread_start(
            [](void *context) {
                for (long i = 0; i < kEach; ++i) {
                    void *block = tool_malloc(16, __FILE__, __LINE__);
                    if (block == nullptr) {
                        ++*static_cast<std::atomic<long> *>(context);
                    }
                    tool_free(block, __FILE__, __LINE__);
                }
            },
            &failures);
        ASSERT_NE(thread, nullptr);
    }
    for (ToolThread *&thread : threads) {
        tool_thread_join(&thread);
    }
    EXPECT_EQ(failures.load(), 1);
    EXPECT_EQ(tool_memory_failure_happened(), 1);
    EXPECT_EQ(tool_memory_live_blocks(), live_before);
    tool_memory_fail_nth(0);
}

} // namespace
