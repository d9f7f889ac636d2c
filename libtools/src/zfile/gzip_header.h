// SPDX-License-Identifier: MIT
// What the layer reads from the first bytes of a gzip member.
#ifndef LIBTOOLS_ZFILE_GZIP_HEADER_H
#define LIBTOOLS_ZFILE_GZIP_HEADER_H

#include <cstddef>

namespace zfile {

/// The two bytes every gzip member begins with.
constexpr unsigned char kGzipMagic[2] = {0x1F, 0x8B};

/// The bytes of a gzip header up to its extra-flags byte, which tells the level.
constexpr std::size_t kGzipHeaderStart = 9;

/// The compression level a gzip header of `size` bytes records, as zfile_gzip_level
/// gives it; 0 when the bytes are no gzip header.
int gzip_level_of_header(const unsigned char *header, std::size_t size);

} // namespace zfile

#endif
