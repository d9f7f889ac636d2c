// SPDX-License-Identifier: MIT
#include "sinks/gzip_sink.h"

#include <zlib.h>

#include <thread>

namespace {

constexpr unsigned kMostWorkers = 16; // past this, memory grows and speed hardly does
constexpr unsigned char kUnixSystem = 3;

// The header's extra flags as zlib sets them for `level`.
unsigned char extra_flags(int level) {
    if (level == 9) {
        return 2;
    }
    return level == 1 ? 4 : 0;
}

// `value` as 4 bytes, least significant first, at `out`.
void put_32(unsigned long long value, unsigned char *out) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<unsigned char>((value >> (8 * i)) & 0xFFU);
    }
}

} // namespace

GzipSink::GzipSink(OutputSink *downstream, int level, unsigned workers)
    : downstream_(downstream), level_(level), blocks_(downstream, level, workers) {}

unsigned GzipSink::default_workers() {
    const unsigned cores = std::thread::hardware_concurrency();
    if (cores < 2) {
        return 0;
    }
    return cores < kMostWorkers ? cores : kMostWorkers;
}

// Writes the header before the first block; false when the downstream failed.
bool GzipSink::begin() {
    if (!begun_) {
        begun_ = true;
        // magic, deflate, no flags, no time (4 bytes), extra flags, system
        const unsigned char header[10] = {0x1F, 0x8B, Z_DEFLATED,          0,          0, 0,
                                          0,    0,    extra_flags(level_), kUnixSystem};
        header_written_ =
            downstream_->append(reinterpret_cast<const char *>(header), sizeof header);
    }
    return header_written_;
}

bool GzipSink::append(const char *data, std::size_t size) {
    return begin() && blocks_.append(reinterpret_cast<const unsigned char *>(data), size);
}

bool GzipSink::finish() {
    if (!begin() || !blocks_.finish()) { // an empty text is still one whole member
        return false;
    }
    unsigned char trailer[8];
    put_32(blocks_.crc(), trailer);
    put_32(blocks_.length(), trailer + 4);
    return downstream_->append(reinterpret_cast<const char *>(trailer), sizeof trailer) &&
           downstream_->finish();
}
