// SPDX-License-Identifier: MIT
#include "sinks/block_deflater.h"

namespace {

constexpr int kRawWindowBits = -15; // the largest window, no wrapper: the sink writes it
constexpr int kMemoryLevel = 8;     // zlib's default

// zlib counts bytes in uInt; blocks are far smaller.
uInt count_of(std::size_t size) {
    return static_cast<uInt>(size);
}

} // namespace

BlockDeflater::~BlockDeflater() {
    if (started_) {
        deflateEnd(&stream_);
    }
}

// Makes the stream at the first block and resets it for each later one, so that every
// block starts from the same state whatever came before it on this thread.
bool BlockDeflater::ready() {
    if (started_) {
        return deflateReset(&stream_) == Z_OK;
    }
    started_ = deflateInit2(&stream_, level_, Z_DEFLATED, kRawWindowBits, kMemoryLevel,
                            Z_DEFAULT_STRATEGY) == Z_OK;
    return started_;
}

std::size_t BlockDeflater::bound(std::size_t size) {
    // Stored blocks at worst (5 bytes of header per 16 KiB and more), and the sync
    // flush's empty stored block with its partial byte.
    return size + (size >> 12) + (size >> 14) + (size >> 25) + 64;
}

bool BlockDeflater::compress(const unsigned char *primer, std::size_t primer_size,
                             const unsigned char *text, std::size_t size, bool last,
                             std::vector<unsigned char> *out) {
    if (!ready() || (primer_size > 0 &&
                     deflateSetDictionary(&stream_, primer, count_of(primer_size)) != Z_OK)) {
        return false;
    }
    out->resize(bound(size));
    stream_.next_in = const_cast<unsigned char *>(text);
    stream_.avail_in = count_of(size);
    std::size_t made = 0;
    for (;;) { // once, unless the bound was wrong: then with more room
        stream_.next_out = out->data() + made;
        stream_.avail_out = count_of(out->size() - made);
        const int result = deflate(&stream_, last ? Z_FINISH : Z_SYNC_FLUSH);
        made = out->size() - stream_.avail_out;
        if (result == Z_STREAM_ERROR) {
            return false;
        }
        if (last ? result == Z_STREAM_END : stream_.avail_in == 0 && stream_.avail_out != 0) {
            break;
        }
        out->resize(out->size() + bound(0));
    }
    out->resize(made);
    return true;
}
