// SPDX-License-Identifier: MIT
#include "platform/stream_io.h"
#include "platform/thread.h"

#include <errno.h>
#include <stdio.h>
#include <unistd.h>

namespace platform {

int read_byte_unlocked(std::FILE *stream) {
    return getc_unlocked(stream);
}

long read_some(std::FILE *stream, unsigned char *buffer, std::size_t size) {
    for (;;) {
        const ssize_t got = read(fileno(stream), buffer, size);
        if (got >= 0 || errno != EINTR || told_to_stop()) {
            return static_cast<long>(got);
        }
    }
}

std::FILE *open_file(const char *path, const char *mode) {
    return path != nullptr && mode != nullptr ? std::fopen(path, mode) : nullptr;
}

gzFile open_gzip(const char *path, const char *mode) {
    return path != nullptr && mode != nullptr ? gzopen(path, mode) : nullptr;
}

std::FILE *open_standard_input() {
    const int duplicate = dup(STDIN_FILENO);
    if (duplicate < 0) {
        return nullptr;
    }
    std::FILE *stream = fdopen(duplicate, "rb");
    if (stream == nullptr) {
        close(duplicate);
    }
    return stream;
}

} // namespace platform
