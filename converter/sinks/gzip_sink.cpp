// SPDX-License-Identifier: MIT
#include "sinks/gzip_sink.h"

#include <cerrno>
#include <new>

namespace {

constexpr int kGzipWindowBits = 15 + 16; // the largest window, with a gzip wrapper
constexpr int kMemoryLevel = 8;          // zlib's default
constexpr int kUnixSystem = 3;           // the header's system byte
constexpr std::size_t kChunk = std::size_t{64} * 1024;

} // namespace

GzipSink::GzipSink(OutputSink *downstream, int level) : downstream_(downstream), level_(level) {}

GzipSink::~GzipSink() {
    if (started_) {
        deflateEnd(&stream_);
    }
}

// Begins the member at the first bytes; false when zlib cannot (out of memory).
bool GzipSink::start() {
    try {
        buffer_.resize(kChunk);
    } catch (const std::bad_alloc &) {
        error_ = ENOMEM;
        return false;
    }
    const int result = deflateInit2(&stream_, level_, Z_DEFLATED, kGzipWindowBits, kMemoryLevel,
                                    Z_DEFAULT_STRATEGY);
    if (result != Z_OK) {
        error_ = result == Z_MEM_ERROR ? ENOMEM : 0;
        return false;
    }
    started_ = true;
    header_.os = kUnixSystem;
    return deflateSetHeader(&stream_, &header_) == Z_OK;
}

// Deflates what is pending with `flush` and hands every full or final chunk out.
bool GzipSink::run(int flush) {
    for (;;) {
        stream_.next_out = buffer_.data();
        stream_.avail_out = static_cast<uInt>(buffer_.size());
        const int result = deflate(&stream_, flush);
        if (result == Z_STREAM_ERROR) {
            return false;
        }
        const std::size_t made = buffer_.size() - stream_.avail_out;
        if (made > 0 &&
            !downstream_->append(reinterpret_cast<const char *>(buffer_.data()), made)) {
            return false;
        }
        if (flush == Z_FINISH ? result == Z_STREAM_END : stream_.avail_out != 0) {
            return true;
        }
    }
}

bool GzipSink::append(const char *data, std::size_t size) {
    if (!started_ && !failed_) {
        failed_ = !start();
    }
    if (failed_) {
        return false;
    }
    // zlib counts input in uInt; a larger piece goes in several runs.
    while (size > 0) {
        const std::size_t piece = size < kChunk ? size : kChunk;
        stream_.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data));
        stream_.avail_in = static_cast<uInt>(piece);
        if (!run(Z_NO_FLUSH)) {
            failed_ = true;
            return false;
        }
        data += piece;
        size -= piece;
    }
    return true;
}

bool GzipSink::finish() {
    if (!started_ && !failed_) { // an empty text is still one whole member
        failed_ = !start();
    }
    return !failed_ && run(Z_FINISH) && downstream_->finish();
}
