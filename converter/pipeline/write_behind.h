// Writing behind: a thread writes the conversion's full output blocks (compressing
// them for a gzip file) while the conversion fills the next one.
//
// The thread starts with the first full block, so a small output is written in the
// calling thread as before. From then on the target is written by the thread alone
// until finish() or the destructor has joined it.
#ifndef JOINT2SI_WRITE_BEHIND_H
#define JOINT2SI_WRITE_BEHIND_H

#include "convert/byte_streams.h"
#include "pipeline/block_channel.h"

#include <atomic>
#include <exception>
#include <thread>

class WriteBehind {
  public:
    explicit WriteBehind(OutputSink *sink);
    ~WriteBehind();
    WriteBehind(const WriteBehind &) = delete;
    WriteBehind &operator=(const WriteBehind &) = delete;

    /// Hands the used bytes of `*block` over to be written and puts an empty block of
    /// the same size in its place. False once a write has failed.
    bool hand_over(Block *block);

    /// Writes the used bytes of `*block` after those handed over and waits for every
    /// write; `*block` is then empty. Nothing more is written after a failed write.
    /// False when any write failed; what the writing thread threw is thrown here.
    bool finish(Block *block);

  private:
    bool write_now(Block *block) const;
    void start(std::size_t block_size);
    void stop();
    void run();

    OutputSink *sink_;
    bool started_ = false;
    bool threadless_ = false; // the system gave no thread: every write is made here
    std::atomic<bool> failed_{false};
    std::exception_ptr error_; // what the thread met; read after it was joined
    BlockChannel to_write_;
    BlockChannel written_;
    std::thread thread_;
};

#endif
