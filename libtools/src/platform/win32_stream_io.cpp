// Streams over the wide ("W") runtime calls, so that names beyond the code page open.
#include "platform/stream_io.h"
#include "platform/wide_names.h"

#include <stdio.h>

namespace platform {

int read_byte_unlocked(std::FILE *stream) {
    return _fgetc_nolock(stream);
}

std::FILE *open_file(const char *path, const char *mode) {
    std::wstring wide_path;
    std::wstring wide_mode;
    if (!to_wide(path, &wide_path) || !to_wide(mode, &wide_mode)) {
        return nullptr;
    }
    return _wfopen(wide_path.c_str(), wide_mode.c_str());
}

gzFile open_gzip(const char *path, const char *mode) {
    std::wstring wide_path;
    if (mode == nullptr || !to_wide(path, &wide_path)) {
        return nullptr;
    }
    return gzopen_w(wide_path.c_str(), mode);
}

} // namespace platform
