// SPDX-License-Identifier: MIT
// The toolkit's stream entry points: a default mode on open, a close that
// clears the caller's variable, and one process-wide push-back slot in front of
// the character read. Everything else passes straight to the zfile wrapper.
#include "libtools/tool_sys_io.h"

#include <cstdarg>

namespace {

// The push-back slot, shared by all streams: a character of -1 means empty.
int pushed_char = -1;
ToolStream pushed_stream = nullptr;

void empty_push_back_slot() {
    pushed_char = -1;
    pushed_stream = nullptr;
}

} // namespace

extern "C" {

ToolStream tool_fopen(const char *path, const char *mode) {
    if (path == nullptr) {
        return nullptr;
    }
    return zfile_open(path, mode != nullptr ? mode : "r");
}

int tool_fclose(ToolStream *stream) {
    if (stream == nullptr || *stream == nullptr) {
        return 0;
    }
    // A character left for this stream must not be handed to a later stream that
    // happens to get the same address.
    if (pushed_stream == *stream) {
        empty_push_back_slot();
    }
    const int result = zfile_close(*stream);
    *stream = nullptr;
    return result == 0 ? 1 : 0;
}

int tool_ferror(ToolStream stream) {
    return zfile_error(stream);
}

int tool_fflush(ToolStream stream) {
    return zfile_flush(stream);
}

int tool_fread(void *buffer, int size, int count, ToolStream stream) {
    return zfile_read(buffer, size, count, stream);
}

int tool_fwrite(const void *data, int size, int count, ToolStream stream) {
    return zfile_write(data, size, count, stream);
}

long tool_fseek(ToolStream stream, long offset, int origin) {
    return zfile_seek(stream, offset, origin);
}

long tool_ftell(ToolStream stream) {
    return zfile_tell(stream);
}

char *tool_fgets(char *buffer, int size, ToolStream stream) {
    return zfile_gets(buffer, size, stream);
}

int tool_fgetc(ToolStream stream) {
    if (pushed_char != -1 && pushed_stream == stream) {
        const int c = pushed_char;
        empty_push_back_slot();
        return c;
    }
    return zfile_getc(stream);
}

int tool_ungetc(int c, ToolStream stream) {
    pushed_char = c;
    pushed_stream = stream;
    return c;
}

int tool_fprintf(ToolStream stream, const char *format, ...) {
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
