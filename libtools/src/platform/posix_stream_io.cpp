#include "platform/stream_io.h"

#include <stdio.h>

namespace platform {

int read_byte_unlocked(std::FILE *stream) {
    return getc_unlocked(stream);
}

std::FILE *open_file(const char *path, const char *mode) {
    return path != nullptr && mode != nullptr ? std::fopen(path, mode) : nullptr;
}

gzFile open_gzip(const char *path, const char *mode) {
    return path != nullptr && mode != nullptr ? gzopen(path, mode) : nullptr;
}

} // namespace platform
