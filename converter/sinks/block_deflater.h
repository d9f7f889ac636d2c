// SPDX-License-Identifier: MIT
// One block of a gzip member's deflate data, compressed on its own so that blocks can
// be compressed on several threads at once and still join into one stream.
//
// A block is primed with the text just before it (up to 32 KiB, the most a deflate
// match can reach back), so matches cross block boundaries as they would in one
// stream and the output is hardly larger. Every block but the last ends with a sync
// flush: on a byte boundary, without the final-block bit, so the next block's bytes
// follow it directly. The last ends the deflate stream. The bytes a block gives depend
// only on its text, its primer, the level and whether it is the last: never on the
// thread that compressed it.
#ifndef JOINT2SI_SINKS_BLOCK_DEFLATER_H
#define JOINT2SI_SINKS_BLOCK_DEFLATER_H

#include <zlib.h>

#include <cstddef>
#include <vector>

/// The text a block may reach back into.
constexpr std::size_t kDeflateWindow = std::size_t{32} * 1024;

class BlockDeflater {
  public:
    /// Compresses at zlib's `level` (1 to 9, or Z_DEFAULT_COMPRESSION).
    explicit BlockDeflater(int level) : level_(level) {}
    ~BlockDeflater();
    BlockDeflater(const BlockDeflater &) = delete;
    BlockDeflater &operator=(const BlockDeflater &) = delete;

    /// Replaces `*out` with the raw deflate data of `text` (`size` bytes), primed with
    /// the `primer_size` bytes before it at `primer`. False when zlib found no memory;
    /// a vector that cannot grow throws std::bad_alloc.
    bool compress(const unsigned char *primer, std::size_t primer_size, const unsigned char *text,
                  std::size_t size, bool last, std::vector<unsigned char> *out);

    /// The most bytes compress() gives for `size` bytes of text.
    static std::size_t bound(std::size_t size);

  private:
    bool ready();

    int level_;
    z_stream stream_ = {};
    bool started_ = false;
};

#endif
