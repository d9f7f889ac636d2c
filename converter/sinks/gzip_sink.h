// SPDX-License-Identifier: MIT
// The sink that compresses what it takes into one gzip member and hands the compressed
// bytes to another sink, in chunks as they are made.
#ifndef JOINT2SI_SINKS_GZIP_SINK_H
#define JOINT2SI_SINKS_GZIP_SINK_H

#include "convert/byte_streams.h"

#include <zlib.h>

#include <cstddef>
#include <vector>

class GzipSink : public OutputSink {
  public:
    /// Compresses at zlib's `level` (1 to 9, or Z_DEFAULT_COMPRESSION) into `downstream`.
    /// The header is the same on every system: no name, no time, "Unix" as the system.
    GzipSink(OutputSink *downstream, int level);
    ~GzipSink() override;
    GzipSink(const GzipSink &) = delete;
    GzipSink &operator=(const GzipSink &) = delete;

    /// Compresses `size` bytes; false when zlib (out of memory) or the downstream failed.
    bool append(const char *data, std::size_t size) override;
    /// Completes the member (the rest of the data, the CRC and the length) and finishes
    /// the downstream; false when any of it failed.
    bool finish() override;
    /// ENOMEM when zlib found no memory, else the downstream's error.
    int error() const override { return error_ != 0 ? error_ : downstream_->error(); }

  private:
    bool start();
    bool run(int flush);

    OutputSink *downstream_;
    int level_;
    z_stream stream_ = {};
    gz_header header_ = {};
    bool started_ = false;
    bool failed_ = false;
    int error_ = 0;
    std::vector<unsigned char> buffer_;
};

#endif
