// SPDX-License-Identifier: MIT
// The sink that compresses what it takes into one gzip member and hands the compressed
// bytes to another sink as they are made.
//
// The deflate data is made in blocks on every core (parallel_deflate.h); a text of one
// block (128 KiB) is compressed in the thread that appends and starts no thread. The
// bytes written depend only on the text and the level, never on the number of cores.
#ifndef JOINT2SI_SINKS_GZIP_SINK_H
#define JOINT2SI_SINKS_GZIP_SINK_H

#include "convert/byte_streams.h"
#include "sinks/parallel_deflate.h"

#include <cstddef>

class GzipSink : public OutputSink {
  public:
    /// Compresses at zlib's `level` (1 to 9, or Z_DEFAULT_COMPRESSION) into `downstream`
    /// with up to `workers` threads (default_workers()). The header is the same on every
    /// system: no name, no time, "Unix" as the system, and the extra-flags byte zlib
    /// gives the level (2 for 9, 4 for 1), so the level can be read back from the file.
    GzipSink(OutputSink *downstream, int level, unsigned workers = default_workers());

    /// One worker per core, at most 16; none on a single core.
    static unsigned default_workers();

    /// Compresses `size` bytes; false when zlib (out of memory) or the downstream failed.
    /// What a worker threw (std::bad_alloc) is thrown here or by finish().
    bool append(const char *data, std::size_t size) override;
    /// Completes the member (the rest of the data, the CRC and the length) and finishes
    /// the downstream; false when any of it failed.
    bool finish() override;
    /// ENOMEM when zlib found no memory, else the downstream's error.
    int error() const override {
        return blocks_.error() != 0 ? blocks_.error() : downstream_->error();
    }

  private:
    bool begin();

    OutputSink *downstream_;
    int level_;
    bool begun_ = false;
    bool header_written_ = false;
    ParallelDeflate blocks_;
};

#endif
