// SPDX-License-Identifier: MIT
// The operations on an open ToolStream. Each asks the registry which kind the handle
// is and calls the stdio function, zlib's gz* function (a writing compressed stream)
// or the layer's reader (a reading one) of the same purpose, keeping the result
// conventions of stdio and zlib.
#include "libtools/zfile.h"
#include "platform/stream_io.h"
#include "platform/thread.h"
#include "zfile/handles.h"
#include "zfile/registry.h"

#include <zlib.h>

#include <climits>
#include <cstdarg>
#include <cstring>

using zfile::as_compressed;
using zfile::as_file;
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

} // namespace

extern "C" {

int zfile_error(ToolStream stream) {
    if (stream == nullptr) {
        return -1;
    }
    if (!is_listed(stream)) {
        return std::ferror(as_file(stream));
    }
    zfile::CompressedStream *compressed = as_compressed(stream);
    int code = Z_OK;
    if (compressed->writer != nullptr) {
        gzerror(compressed->writer, &code);
    } else {
        code = compressed->reader.error();
    }
    // Reaching the end of the compressed data is no error.
    return code == Z_STREAM_END ? 0 : code;
}

int zfile_flush(ToolStream stream) {
    if (stream == nullptr) {
        return 0;
    }
    if (is_listed(stream)) {
        gzFile writer = as_compressed(stream)->writer;
        return writer != nullptr ? gzflush(writer, Z_FINISH) : Z_STREAM_ERROR;
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
    zfile::CompressedStream *compressed = as_compressed(stream);
    if (bytes < 0 || compressed->writer != nullptr) {
        return -1;
    }
    return compressed->reader.read(buffer, static_cast<unsigned>(bytes));
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
    gzFile writer = as_compressed(stream)->writer;
    return bytes < 0 || writer == nullptr ? 0 : gzwrite(writer, data, static_cast<unsigned>(bytes));
}

long zfile_seek(ToolStream stream, long offset, int origin) {
    if (stream == nullptr) {
        return -1;
    }
    if (is_listed(stream)) {
        zfile::CompressedStream *compressed = as_compressed(stream);
        return compressed->writer != nullptr
                   ? static_cast<long>(gzseek(compressed->writer, offset, origin))
                   : static_cast<long>(compressed->reader.seek(offset, origin));
    }
    return std::fseek(as_file(stream), offset, origin);
}

long zfile_tell(ToolStream stream) {
    if (stream == nullptr) {
        return -1;
    }
    if (is_listed(stream)) {
        zfile::CompressedStream *compressed = as_compressed(stream);
        return compressed->writer != nullptr ? static_cast<long>(gztell(compressed->writer))
                                             : static_cast<long>(compressed->reader.tell());
    }
    return std::ftell(as_file(stream));
}

long long zfile_offset(ToolStream stream) {
    if (stream == nullptr) {
        return -1;
    }
    if (is_listed(stream)) {
        zfile::CompressedStream *compressed = as_compressed(stream);
        return compressed->writer != nullptr ? static_cast<long long>(gzoffset(compressed->writer))
                                             : compressed->reader.offset();
    }
    return std::ftell(as_file(stream));
}

char *zfile_gets(char *buffer, int size, ToolStream stream) {
    if (stream == nullptr || buffer == nullptr || size < 1) {
        return nullptr;
    }
    if (is_listed(stream)) {
        zfile::CompressedStream *compressed = as_compressed(stream);
        return compressed->writer != nullptr ? nullptr : compressed->reader.gets(buffer, size);
    }
    return std::fgets(buffer, size, as_file(stream));
}

int zfile_getc(ToolStream stream) {
    if (stream == nullptr) {
        return -1;
    }
    if (is_listed(stream)) {
        zfile::CompressedStream *compressed = as_compressed(stream);
        return compressed->writer != nullptr ? -1 : compressed->reader.get_byte();
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

int zfile_stream_gzip_level(ToolStream stream) {
    if (!is_listed(stream) || as_compressed(stream)->writer != nullptr) {
        return 0;
    }
    return as_compressed(stream)->reader.level();
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
