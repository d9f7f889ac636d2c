// The operations on an open ToolStream. Each asks the registry which kind the
// handle is and calls zlib's gzip function or the stdio function of the same
// purpose, keeping that library's result convention.
#include "libtools/zfile.h"
#include "platform/stream_io.h"
#include "platform/thread.h"
#include "zfile/handles.h"
#include "zfile/registry.h"

#include <climits>
#include <cstdarg>
#include <cstring>

using zfile::as_file;
using zfile::as_gz;
using zfile::is_listed;

namespace {

constexpr int kPrintBufferSize = 4096;

// The byte count of `count` items of `size` bytes, or -1 when it is negative or
// beyond what zlib can move in one call.
long long byte_count(int size, int count) {
    if (size < 0 || count < 0) {
        return -1;
    }
    const long long bytes = static_cast<long long>(size) * count;
    return bytes <= INT_MAX ? bytes : -1;
}

// Whether a reading stream that reached its end without an error met data after its
// last gzip member, which zlib skips without a word. Checked once per stream.
bool trailing_data(ToolStream stream) {
    if (!gzeof(as_gz(stream))) {
        return false;
    }
    zfile::RegistryEntry *entry = zfile::entry_of(stream);
    if (entry == nullptr || entry->path == nullptr) {
        return false;
    }
    if (entry->members_end == 0) {
        entry->members_end = zfile::only_gzip_members(*entry) ? 1 : -1;
    }
    return entry->members_end < 0;
}

} // namespace

extern "C" {

int zfile_error(ToolStream stream) {
    if (stream == nullptr) {
        return -1;
    }
    if (!is_listed(stream)) {
        return std::ferror(as_file(stream));
    }
    int code = Z_OK;
    gzerror(as_gz(stream), &code);
    // Reaching the end of the compressed data is no error.
    if (code != Z_STREAM_END && code != Z_OK) {
        return code;
    }
    return trailing_data(stream) ? Z_DATA_ERROR : 0;
}

int zfile_flush(ToolStream stream) {
    if (stream == nullptr) {
        return 0;
    }
    if (is_listed(stream)) {
        return gzflush(as_gz(stream), Z_FINISH);
    }
    return std::fflush(as_file(stream));
}

int zfile_read(void *buffer, int size, int count, ToolStream stream) {
    if (stream == nullptr || buffer == nullptr || size < 0 || count < 0) {
        return 0;
    }
    if (!is_listed(stream)) {
        const int got =
            static_cast<int>(std::fread(buffer, static_cast<std::size_t>(size),
                                        static_cast<std::size_t>(count), as_file(stream)));
        if (got < count && platform::told_to_stop()) {
            std::clearerr(as_file(stream)); // the read was cut, the file is not at fault
        }
        return got;
    }
    const long long bytes = byte_count(size, count);
    if (bytes < 0) {
        return -1;
    }
    const int got = gzread(as_gz(stream), buffer, static_cast<unsigned>(bytes));
    if (got < 0 && platform::told_to_stop()) {
        gzclearerr(as_gz(stream)); // as above
    }
    return got;
}

int zfile_write(const void *data, int size, int count, ToolStream stream) {
    if (stream == nullptr || data == nullptr || size < 0 || count < 0) {
        return 0;
    }
    if (!is_listed(stream)) {
        return static_cast<int>(std::fwrite(data, static_cast<std::size_t>(size),
                                            static_cast<std::size_t>(count), as_file(stream)));
    }
    const long long bytes = byte_count(size, count);
    return bytes < 0 ? 0 : gzwrite(as_gz(stream), data, static_cast<unsigned>(bytes));
}

long zfile_seek(ToolStream stream, long offset, int origin) {
    if (stream == nullptr) {
        return -1;
    }
    if (is_listed(stream)) {
        return static_cast<long>(gzseek(as_gz(stream), offset, origin));
    }
    return std::fseek(as_file(stream), offset, origin);
}

long zfile_tell(ToolStream stream) {
    if (stream == nullptr) {
        return -1;
    }
    if (is_listed(stream)) {
        return static_cast<long>(gztell(as_gz(stream)));
    }
    return std::ftell(as_file(stream));
}

long long zfile_offset(ToolStream stream) {
    if (stream == nullptr) {
        return -1;
    }
    if (is_listed(stream)) {
        return static_cast<long long>(gzoffset(as_gz(stream)));
    }
    return std::ftell(as_file(stream));
}

char *zfile_gets(char *buffer, int size, ToolStream stream) {
    if (stream == nullptr || buffer == nullptr || size < 1) {
        return nullptr;
    }
    if (is_listed(stream)) {
        return gzgets(as_gz(stream), buffer, size);
    }
    return std::fgets(buffer, size, as_file(stream));
}

int zfile_getc(ToolStream stream) {
    if (stream == nullptr) {
        return -1;
    }
    if (is_listed(stream)) {
        return gzgetc(as_gz(stream));
    }
    return platform::read_byte_unlocked(as_file(stream));
}

int zfile_vprintf(ToolStream stream, const char *format, va_list args) {
    if (stream == nullptr || format == nullptr) {
        return 0;
    }
    // Bounded: a longer text is cut at 4095 characters.
    char text[kPrintBufferSize] = {};
    std::vsnprintf(text, sizeof text, format, args);
    const std::size_t length = std::strlen(text);
    if (length > 0) {
        zfile_write(text, 1, static_cast<int>(length), stream);
    }
    return 0;
}

int zfile_printf(ToolStream stream, const char *format, ...) {
    if (stream == nullptr || format == nullptr) {
        return 0;
    }
    va_list args;
    va_start(args, format);
    const int result = zfile_vprintf(stream, format, args);
    va_end(args);
    return result;
}

} // extern "C"
