// SPDX-License-Identifier: MIT
// The two kinds a ToolStream stands for. Only the registry tells them apart; these
// helpers merely give the untyped handle its type once the caller knows.
#ifndef LIBTOOLS_ZFILE_HANDLES_H
#define LIBTOOLS_ZFILE_HANDLES_H

#include "libtools/zfile.h"
#include "zfile/gzip_reader.h"

#include <zlib.h>

#include <cstdio>

namespace zfile {

/// A compressed stream: it reads through the layer's own reader or writes through a
/// zlib gzFile, never both.
struct CompressedStream {
    GzipReader reader; // open for a reading stream
    gzFile writer;     // a writing stream's zlib handle; null for a reading one
};

/// A new compressed stream reading `file` (binary; the stream then owns it), listed in the
/// registry. Null, with `file` closed, when memory ran out.
ToolStream open_reading_stream(std::FILE *file);

/// A new compressed stream writing through `writer`, listed in the registry. Null, with
/// `writer` closed, when memory ran out.
ToolStream open_writing_stream(gzFile writer);

/// Closes a compressed stream that is no longer listed and frees it: gzclose's result
/// for a writing stream; Z_OK, or Z_ERRNO when the file did not close, for a reading one.
int close_compressed(ToolStream stream);

inline CompressedStream *as_compressed(ToolStream stream) {
    return static_cast<CompressedStream *>(stream);
}
inline std::FILE *as_file(ToolStream stream) {
    return static_cast<std::FILE *>(stream);
}

} // namespace zfile

#endif
