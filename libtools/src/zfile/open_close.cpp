// SPDX-License-Identifier: MIT
// Opening and closing a ToolStream: the choice between a plain stdio stream and a
// compressed one, made per file from its first two bytes and the mode.
#include "libtools/zfile.h"
#include "platform/checked_open.h"
#include "platform/paths.h"
#include "platform/stream_io.h"
#include "platform/system_error.h"
#include "zfile/gzip_header.h"
#include "zfile/handles.h"
#include "zfile/registry.h"

#include <cerrno>
#include <cstring>
#include <string>

namespace {

constexpr std::size_t kModeBufferSize = 20;

// The mode without its 'z' letters; overwritten by every zfile_mode_without_z call.
char plain_mode_buffer[kModeBufferSize];

// `mode` without its 'z' letters into `plain_mode` (at most 19 letters kept).
void without_z(const char *mode, char (&plain_mode)[kModeBufferSize]) {
    std::size_t length = 0;
    for (const char *letter = mode; letter != nullptr && *letter != '\0'; ++letter) {
        if (*letter != 'z' && length + 1 < kModeBufferSize) {
            plain_mode[length++] = *letter;
        }
    }
    plain_mode[length] = '\0';
}

bool has_letter(const char *mode, char letter) {
    return std::strchr(mode, letter) != nullptr;
}

// zlib's mode for `plain_mode`: its letters without '+' (modern zlib refuses a
// stream that reads and writes), then level 1 for a writing stream. zlib itself
// always opens the file untranslated (binary).
void make_gz_mode(const char *plain_mode, char (&gz_mode)[kModeBufferSize]) {
    std::size_t length = 0;
    for (const char *letter = plain_mode; *letter != '\0' && length + 2 < kModeBufferSize;
         ++letter) {
        if (*letter != '+') {
            gz_mode[length++] = *letter;
        }
    }
    gz_mode[length++] = '1';
    gz_mode[length] = '\0';
}

// With "+" the caller asks for update access, which zlib cannot give; the file
// must still allow it, so a read-only gzip file fails "r+" like a plain one.
bool allows_update(const std::string &path, const char *plain_mode) {
    if (!has_letter(plain_mode, '+')) {
        return true;
    }
    std::FILE *probe = platform::open_file(path.c_str(), plain_mode);
    if (probe == nullptr) {
        return false;
    }
    std::fclose(probe);
    return true;
}

// Whether a compressed stream opened with `plain_mode` reads: its last of 'r', 'w' and
// 'a' is 'r', as zlib takes the letters.
bool mode_reads(const char *plain_mode) {
    const char *last = nullptr;
    for (const char *letter = plain_mode; *letter != '\0'; ++letter) {
        if (*letter == 'r' || *letter == 'w' || *letter == 'a') {
            last = letter;
        }
    }
    return last != nullptr && *last == 'r';
}

ToolStream open_compressed(const std::string &path, const char *mode) {
    char plain_mode[kModeBufferSize];
    without_z(mode, plain_mode);
    if (!allows_update(path, plain_mode)) {
        return nullptr;
    }
    if (mode_reads(plain_mode)) {
        std::FILE *file = platform::open_file(path.c_str(), "rb");
        return file != nullptr ? zfile::open_reading_stream(file) : nullptr;
    }
    char gz_mode[kModeBufferSize];
    make_gz_mode(plain_mode, gz_mode);
    gzFile writer = platform::open_gzip(path.c_str(), gz_mode);
    return writer != nullptr ? zfile::open_writing_stream(writer) : nullptr;
}

ToolStream open_same_file(const std::string &path, const char *mode,
                          const platform::FileIdentity &file, platform::OpenCheck *check) {
    const bool asks_for_gzip = has_letter(mode, 'z');
    char plain_mode[kModeBufferSize];
    without_z(mode, plain_mode);
    if (plain_mode[0] != 'r') {
        errno = EINVAL;
        return nullptr;
    }
    const int fd = platform::open_checked(path, has_letter(plain_mode, '+'), &file, check);
    if (fd < 0) {
        return nullptr;
    }
    unsigned char start[2] = {};
    const long got = platform::read_start(fd, start, sizeof start);
    if (got < 0) {
        const platform::SavedError reason;
        platform::close_descriptor(fd);
        return nullptr;
    }
    const bool compressed =
        got == 0 ? asks_for_gzip
                 : got == 2 && start[0] == zfile::kGzipMagic[0] && start[1] == zfile::kGzipMagic[1];
    if (compressed) {
        std::FILE *stream = platform::stream_of_descriptor(fd, "rb");
        return stream != nullptr ? zfile::open_reading_stream(stream) : nullptr;
    }
    return platform::stream_of_descriptor(fd, plain_mode);
}

} // namespace

extern "C" {

char *zfile_mode_without_z(const char *mode) {
    without_z(mode, plain_mode_buffer);
    return plain_mode_buffer;
}

int zfile_detect_gzip(const char *path, const char *mode) {
    if (path == nullptr || mode == nullptr) {
        return 0;
    }
    const bool asks_for_gzip = has_letter(mode, 'z');
    // Binary, so a text-mode end-of-file byte cannot hide the magic.
    std::FILE *file = platform::open_file(platform::native_path(path).c_str(), "rb");
    if (file == nullptr) {
        return asks_for_gzip ? 1 : 0;
    }
    const int first = std::fgetc(file);
    const int second = first != EOF ? std::fgetc(file) : EOF;
    std::fclose(file);
    if (first == EOF) {
        return asks_for_gzip ? 1 : 0;
    }
    return first == 0x1F && second == 0x8B ? 1 : 0;
}

ToolStream zfile_open(const char *path, const char *mode) {
    if (path == nullptr || mode == nullptr) {
        return nullptr;
    }
    bool compressed = false;
    if (has_letter(mode, 'r') || has_letter(mode, 'a')) {
        compressed = zfile_detect_gzip(path, mode) != 0;
    } else {
        compressed = has_letter(mode, 'z');
    }
    const std::string native = platform::native_path(path);
    if (compressed) {
        return open_compressed(native, mode);
    }
    char plain_mode[kModeBufferSize];
    without_z(mode, plain_mode);
    return platform::open_file(native.c_str(), plain_mode);
}

ToolStream zfile_open_same_file(const char *path, const char *mode, unsigned long long device,
                                unsigned long long index, int *refusal) {
    platform::OpenCheck check = platform::OpenCheck::cannot_open;
    ToolStream stream = nullptr;
    if (path != nullptr && mode != nullptr) {
        stream = open_same_file(platform::native_path(path), mode, {device, index}, &check);
    } else {
        errno = EINVAL;
    }
    if (refusal != nullptr) {
        *refusal = check == platform::OpenCheck::not_regular  ? 1
                   : check == platform::OpenCheck::other_file ? 2
                                                              : 0;
    }
    return stream;
}

int zfile_close(ToolStream stream) {
    if (stream == nullptr) {
        return 0;
    }
    // Unlisted before zlib frees the handle, so a later FILE * that reuses the
    // address is never taken for a compressed stream.
    if (zfile_unregister(stream)) {
        return zfile::close_compressed(stream);
    }
    return std::fclose(zfile::as_file(stream));
}

} // extern "C"
