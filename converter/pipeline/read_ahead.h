// Reading ahead: a thread reads the next blocks of a large input (inflating gzip
// data) while the conversion works on the block before.
//
// The thread starts only when the first read filled the whole request, so small
// inputs and interactive ones are read in the calling thread as before. The source is
// then read by the thread alone until the ReadAhead is destroyed, which stops and
// joins it; it may wait there for a read the thread has begun.
#ifndef JOINT2SI_READ_AHEAD_H
#define JOINT2SI_READ_AHEAD_H

#include "convert/byte_streams.h"
#include "pipeline/block_channel.h"

#include <cstddef>
#include <exception>
#include <thread>

class ReadAhead {
  public:
    /// Reads `source` in blocks of `block_size` bytes.
    ReadAhead(ByteSource source, std::size_t block_size);
    ~ReadAhead();
    ReadAhead(const ReadAhead &) = delete;
    ReadAhead &operator=(const ReadAhead &) = delete;

    /// The source to read instead of the one given: the same bytes, in the same order.
    ByteSource source() { return ByteSource{this, read_through}; }

  private:
    static long read_through(void *context, char *buffer, std::size_t size);
    long read(char *buffer, std::size_t size);
    bool next_block();
    void start();
    void run();
    void read_blocks();

    ByteSource source_;
    std::size_t block_size_;
    bool started_ = false;
    bool first_read_done_ = false;
    bool ended_ = false;
    bool failed_ = false;      // the source failed; set by the thread before its last block
    std::exception_ptr error_; // what the thread met instead, set likewise
    Block current_;
    std::size_t taken_ = 0; // bytes of current_ handed out
    BlockChannel to_fill_;
    BlockChannel filled_;
    std::thread thread_;
};

#endif
