// Standard input as a ToolStream, and the compression level a gzip header records.
#include "libtools/zfile.h"
#include "platform/paths.h"
#include "platform/stream_io.h"
#include "zfile/handles.h"
#include "zfile/registry.h"

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
    if (size < kGzipHeaderStart || header[0] != 0x1F || header[1] != 0x8B) {
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

ToolStream zfile_open_standard_input(void) {
    gzFile stream = platform::open_standard_input();
    if (stream == nullptr) {
        return nullptr;
    }
    if (!zfile_register(stream)) {
        gzclose(stream);
        return nullptr;
    }
    return stream;
}

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

int zfile_stream_gzip_level(ToolStream stream) {
    const zfile::RegistryEntry *entry = zfile::entry_of(stream);
    if (entry == nullptr) {
        return 0;
    }
    // A stream held to its file never opens the name again: its level was read at the open.
    if (entry->same_file != 0 || entry->path == nullptr) {
        return entry->level;
    }
    return zfile_gzip_level(entry->path);
}

} // extern "C"
