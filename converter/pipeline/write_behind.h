// SPDX-License-Identifier: MIT
// Writing behind: a worker thread writes the conversion's full output blocks
// (compressing them for a gzip file) while the conversion fills the next one.
//
// The thread starts with the first full block, so a small output is written in the
// calling thread as before; so is every output when the system gives no thread or no
// memory for the blocks. From then on the target is written by the thread alone
// until finish() or cancel() has joined it.
//
// Stopping: cancel() (and the destructor, unless finish() came first) ends the
// writing at once, even while the thread waits in a write to a pipe that nobody
// empties: the write is cut short (tool_thread_stop), the blocks not yet written
// are dropped and the thread is joined. Call it when the input failed or the
// conversion stops for any reason before the end: the output is incomplete then and
// must not be used, so there is no point in waiting for it to be written.
//
// Failures: a failed write makes every later hand_over and finish return false and
// the blocks after it are given back unwritten; it also stops the reading of the
// ReadAhead of the same conversion (reading_stop.h), so a conversion
// waiting for input that is no longer needed stops at once; what the thread throws (std::bad_alloc
// included) is thrown again in the converting thread by finish().
#ifndef JOINT2SI_WRITE_BEHIND_H
#define JOINT2SI_WRITE_BEHIND_H

#include "convert/byte_streams.h"
#include "pipeline/block_channel.h"
#include "pipeline/reading_stop.h"
#include "pipeline/worker_thread.h"

#include <atomic>
#include <cstddef>
#include <exception>

class WriteBehind {
  public:
    /// Writes into `sink`; a failed write stops the reading through `stop` (the
    /// conversion's, which outlives this).
    WriteBehind(OutputSink *sink, ReadingStop *stop);
    /// Cancels the writing (see cancel()) unless finish() was called.
    ~WriteBehind();
    WriteBehind(const WriteBehind &) = delete;
    WriteBehind &operator=(const WriteBehind &) = delete;

    /// Hands the used bytes of `*block` over to be written and puts an empty block of
    /// the same size in its place. False once a write has failed or after cancel().
    bool hand_over(Block *block);

    /// Writes the used bytes of `*block` after those handed over and waits for every
    /// write; `*block` is then empty. Nothing more is written after a failed write.
    /// False when any write failed or after cancel(); what the writing thread threw is
    /// thrown here. Nothing is handed over after it.
    bool finish(Block *block);

    /// Stops writing at once and waits for the thread, cutting a write it waits in;
    /// what was handed over and not yet written is dropped. `*block` of a later
    /// hand_over or finish is only emptied.
    void cancel() noexcept;

  private:
    static void run(void *self);
    bool write_now(Block *block) const;
    void write_one(Block *block) noexcept;
    void start(std::size_t block_size);

    OutputSink *sink_;
    bool started_ = false;
    bool threadless_ = false; // no thread or no blocks: every write is made here
    bool cancelled_ = false;
    ReadingStop *reading_; // the conversion's: what a failed write stops
    std::atomic<bool> failed_{false};
    std::exception_ptr error_; // what the thread met; read after it was joined
    BlockChannel to_write_;
    BlockChannel written_;
    WorkerThread thread_; // last: stopped before the channels go
};

#endif
