// Compressing a stream of bytes into gzip data, handed out in chunks as it is made.
#ifndef JOINT2SI_GZIP_ENCODER_H
#define JOINT2SI_GZIP_ENCODER_H

#include <zlib.h>

#include <cstddef>
#include <functional>
#include <vector>

class GzipEncoder {
  public:
    /// Receives each chunk of compressed data; false when it could not be stored.
    using Output = std::function<bool(const unsigned char *data, std::size_t size)>;

    GzipEncoder() = default;
    ~GzipEncoder();
    GzipEncoder(const GzipEncoder &) = delete;
    GzipEncoder &operator=(const GzipEncoder &) = delete;

    /// Begins a gzip member at zlib's `level` (1 to 9, or Z_DEFAULT_COMPRESSION). The
    /// header is the same on every system: no name, no time, "Unix" as the system.
    /// False when zlib cannot begin (out of memory).
    bool start(int level, Output output);

    /// Compresses `size` bytes; false when zlib or the output failed.
    bool add(const char *data, std::size_t size);

    /// Completes the member (the rest of the data, the CRC and the length); false when
    /// zlib or the output failed.
    bool finish();

  private:
    bool run(int flush);

    z_stream stream_ = {};
    gz_header header_ = {};
    bool started_ = false;
    Output output_;
    std::vector<unsigned char> buffer_;
};

#endif
