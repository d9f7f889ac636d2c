// SPDX-License-Identifier: MIT
// The deflate data of one gzip member, compressed in blocks on worker threads.
//
// The text is cut into blocks of kBlockSize bytes wherever the appends fall, each
// primed with the 32 KiB before it (block_deflater.h), compressed on whichever worker
// is free, and written to the downstream sink in order by the thread that appends.
// The cut, the primers and so the bytes written depend only on the text and the
// level: the same whatever the number of workers, the thread that ran a block, or
// the sizes of the appends. A text of one block is compressed by the appending
// thread at finish() and starts no thread.
//
// Threads: the workers start at the first full block, from the thread that appends
// (the conversion's writing worker, or the converting thread), and are stopped and
// joined by the destructor, in whichever thread owns the object then; append(),
// finish() and the destructor are never called at once (the owner orders them, as
// the converting thread does by joining its writing worker). A worker waits for
// blocks on this object's condition only and makes no system call that can block,
// so it ends by itself after the block it compresses. It starts with interrupts
// blocked (tool_thread.h) and catches everything: what a block throws is kept with
// the block and thrown again in the appending thread when that block's turn to be
// written comes.
//
// Memory: 2 * workers + 2 blocks of text and compressed bytes, each about 300 KiB,
// and one deflate state (about 270 KiB) per worker.
#ifndef JOINT2SI_SINKS_PARALLEL_DEFLATE_H
#define JOINT2SI_SINKS_PARALLEL_DEFLATE_H

#include "convert/byte_streams.h"
#include "libtools/tool_thread.h"
#include "sinks/block_deflater.h"

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <vector>

class ParallelDeflate {
  public:
    /// Text per block: large enough that the primer and the flush cost little, small
    /// enough that a few MB of text keep every worker busy.
    static constexpr std::size_t kBlockSize = std::size_t{128} * 1024;

    /// Compresses at zlib's `level` into `downstream` with up to `workers` threads;
    /// 0 compresses every block in the appending thread.
    ParallelDeflate(OutputSink *downstream, int level, unsigned workers);
    /// Stops the workers once their blocks are done; blocks not yet written are dropped.
    ~ParallelDeflate();
    ParallelDeflate(const ParallelDeflate &) = delete;
    ParallelDeflate &operator=(const ParallelDeflate &) = delete;

    /// Takes `size` more bytes of text; writes the blocks that are done. False once a
    /// block could not be compressed or written; what a worker threw is thrown here.
    bool append(const unsigned char *data, std::size_t size);
    /// Compresses the rest as the last block and writes every block; false as append.
    bool finish();

    /// The CRC-32 and the length of the text written so far.
    unsigned long crc() const { return crc_; }
    unsigned long long length() const { return length_; }
    /// ENOMEM when zlib found no memory, else 0.
    int error() const { return error_; }

  private:
    enum class State { free, queued, working, done };

    struct Slot {
        std::vector<unsigned char> text; // the primer, then the block's text
        std::size_t primer = 0;
        std::size_t end = 0; // bytes of `text` in use
        bool last = false;
        std::vector<unsigned char> packed;
        unsigned long crc = 0;
        bool compressed = false;
        std::exception_ptr thrown;
        State state = State::free; // under mutex_ while workers run
    };

    static void run(void *self) noexcept;
    void work(BlockDeflater *deflater);
    static void compress(Slot *slot, BlockDeflater *deflater) noexcept;
    void start();
    bool submit(bool last);
    bool write(Slot *slot);
    bool collect(std::size_t index);
    void begin(std::size_t index, const Slot *before);

    OutputSink *downstream_;
    int level_;
    unsigned wanted_;
    std::vector<Slot> slots_;
    std::size_t filling_ = 0; // the slot the text goes into
    std::size_t next_ = 0;    // the next slot a worker takes
    bool started_ = false;
    bool failed_ = false;
    int error_ = 0;
    unsigned long crc_ = 0;
    unsigned long long length_ = 0;
    BlockDeflater own_; // for the blocks compressed in the appending thread
    std::mutex mutex_;
    std::condition_variable queued_; // a block to compress, or the end
    std::condition_variable done_;   // a block compressed
    bool stopping_ = false;
    std::vector<ToolThread *> threads_;
};

#endif
