// SPDX-License-Identifier: MIT
// The compression level a gzip header records.
#include "zfile/gzip_header.h"

#include "libtools/zfile.h"
#include "platform/paths.h"
#include "platform/stream_io.h"

#include <zlib.h>

#include <cstdio>

namespace {

// A gzip header: 0x1F 0x8B, method, flags, four bytes of time, then the extra flags.
constexpr int kExtraFlagsOffset = 8;
constexpr int kExtraFlagsBest = 2;
constexpr int kExtraFlagsFastest = 4;

} // namespace

namespace zfile {

int gzip_level_of_header(const unsigned char *header, std::size_t size) {
    if (size < kGzipHeaderStart || header[0] != kGzipMagic[0] || header[1] != kGzipMagic[1]) {
        return 0;
    }
    const int extra_flags = header[kExtraFlagsOffset];
    if (extra_flags == kExtraFlagsBest) {
        return 9;
    }
    return extra_flags == kExtraFlagsFastest ? 1 : Z_DEFAULT_COMPRESSION;
}

} // namespace zfile

extern "C" {

int zfile_gzip_level(const char *path) {
    if (path == nullptr) {
        return 0;
    }
    std::FILE *file = platform::open_file(platform::native_path(path).c_str(), "rb");
    if (file == nullptr) {
        return 0;
    }
    unsigned char header[zfile::kGzipHeaderStart] = {};
    const std::size_t got = std::fread(header, 1, sizeof header, file);
    std::fclose(file);
    return zfile::gzip_level_of_header(header, got);
}

} // extern "C"
