// SPDX-License-Identifier: MIT
// Reading ahead: a worker thread reads the next blocks of a large input (inflating
// gzip data) while the conversion works on the block before.
//
// The thread starts only when the first read filled the whole request, so small
// inputs and interactive ones are read in the calling thread as before; so they are
// when the system gives no thread or no memory for the blocks. From then on the
// source is read by the thread alone until the ReadAhead is cancelled or destroyed.
//
// Stopping: cancel() (and the destructor, which cancels) ends the reading at once,
// even while the thread waits in a read of a pipe or terminal that has nothing to
// give: the read is cut short (tool_thread_stop) and the thread joined. The thread is
// never left behind: the source, its context and the stream beneath stay the
// caller's, and they are not used once cancel() has returned, so the caller may
// close them. A stream whose read was cut keeps no error from it (zfile.h); what was
// read is dropped.
//
// Why a cut read and not a detached thread: a detached reader would still be inside
// the caller's source when the caller closes the stream and frees its context, and
// would outlive the ReadAhead's own storage unless that were shared; a cut read keeps
// every object's life inside the call that owns it.
//
// A failed output stops the reading too (reading_stop.h): when the WriteBehind of the
// same conversion fails, a read that waits for the next block returns -1 at
// once, without waiting for the source; the thread itself is cut and joined by
// cancel() or the destructor.
//
// Failures: a source that fails gives -1 after the bytes before the failure; what the
// thread throws (std::bad_alloc included) is thrown again in the converting thread at
// the read that meets it.
//
// Once the thread runs, the reader may take the blocks themselves (BlockSupply)
// instead of having them copied by source(); a reader uses one way or the other.
#ifndef JOINT2SI_READ_AHEAD_H
#define JOINT2SI_READ_AHEAD_H

#include "convert/byte_streams.h"
#include "pipeline/block_channel.h"
#include "pipeline/reading_stop.h"
#include "pipeline/worker_thread.h"

#include <cstddef>
#include <exception>

class ReadAhead : public BlockSupply {
  public:
    /// Reads `source` in blocks of `block_size` bytes; `stop` (the conversion's, which
    /// outlives this) lets a failed output end the reading.
    ReadAhead(ByteSource source, std::size_t block_size, ReadingStop *stop);
    /// Cancels the reading (see cancel()).
    ~ReadAhead() override;
    ReadAhead(const ReadAhead &) = delete;
    ReadAhead &operator=(const ReadAhead &) = delete;

    /// The source to read instead of the one given: the same bytes, in the same order.
    ByteSource source() { return ByteSource{this, read_through}; }

    /// Stops reading at once and waits for the thread, cutting a read it waits in. Every
    /// later read of source() gives -1: the input was not read whole. Call it when the
    /// output has failed or the conversion stops for any reason before the end.
    void cancel() noexcept;

    bool supplying() const override { return started_ && !cancelled_; }
    long take(std::vector<char> *block) override;
    void give_back(std::vector<char> *block) override;

  private:
    static long read_through(void *context, char *buffer, std::size_t size);
    static void run(void *self);
    long read(char *buffer, std::size_t size);
    bool next_block();
    long end_of_blocks();
    void start();
    void read_blocks();

    ByteSource source_;
    std::size_t block_size_;
    bool started_ = false;
    bool first_read_done_ = false;
    bool ended_ = false;
    long end_result_ = 0; // what a read gives once ended_: 0 at the end, -1 when failed
    bool cancelled_ = false;
    ReadingStop *stop_; // the conversion's
    // Written by the thread before it closes filled_, read after filled_ gave no block:
    bool failed_ = false;      // the source failed
    std::exception_ptr error_; // what the thread met instead
    Block current_;
    std::size_t taken_ = 0; // bytes of current_ handed out
    BlockChannel to_fill_;
    BlockChannel filled_;
    WorkerThread thread_; // last: stopped before the channels go
};

#endif
