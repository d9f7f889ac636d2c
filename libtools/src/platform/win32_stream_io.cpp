// SPDX-License-Identifier: MIT
// Streams over the wide ("W") runtime calls, so that names beyond the code page open.
#include "platform/stream_io.h"
#include "platform/wide_names.h"

#include <fcntl.h>
#include <io.h>
#include <stdio.h>

namespace platform {

int read_byte_unlocked(std::FILE *stream) {
    return _fgetc_nolock(stream);
}

long read_some(std::FILE *stream, unsigned char *buffer, std::size_t size) {
    // Windows has no signals that interrupt a read; a stop cancels it (CancelSynchronousIo).
    return _read(_fileno(stream), buffer, static_cast<unsigned>(size));
}

std::FILE *open_file(const char *path, const char *mode) {
    std::wstring wide_mode;
    const std::wstring wide_path = path != nullptr ? system_path_of(path) : std::wstring();
    if (wide_path.empty() || !to_wide(mode, &wide_mode)) {
        return nullptr;
    }
    return _wfopen(wide_path.c_str(), wide_mode.c_str());
}

gzFile open_gzip(const char *path, const char *mode) {
    const std::wstring wide_path = path != nullptr ? system_path_of(path) : std::wstring();
    if (mode == nullptr || wide_path.empty()) {
        return nullptr;
    }
    return gzopen_w(wide_path.c_str(), mode);
}

std::FILE *open_standard_input() {
    const int input = _fileno(stdin);
    if (_setmode(input, _O_BINARY) == -1) {
        return nullptr;
    }
    const int duplicate = _dup(input);
    if (duplicate < 0) {
        return nullptr;
    }
    std::FILE *stream = _fdopen(duplicate, "rb");
    if (stream == nullptr) {
        _close(duplicate);
    }
    return stream;
}

} // namespace platform
