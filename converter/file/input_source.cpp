// SPDX-License-Identifier: MIT
#include "file/input_source.h"

#include "terminal/reason.h"

#include "libtools/tool_sys_io.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace {

// Reads the next bytes; -1, with the read's errno in `*system_error`, once the stream
// reports an error.
long read_stream(ToolStream stream, char *buffer, std::size_t size, int *system_error) {
    const int count = static_cast<int>(std::min<std::size_t>(size, INT_MAX / 2));
    errno = 0;
    const int got = tool_fread(buffer, 1, count, stream);
    *system_error = errno;
    return got <= 0 && tool_ferror(stream) != 0 ? -1 : got;
}

long read_plain(void *context, char *buffer, std::size_t size) {
    int system_error = 0;
    return read_stream(static_cast<ToolStream>(context), buffer, size, &system_error);
}

} // namespace

ByteSource stream_source(ToolStream stream) {
    return ByteSource{stream, read_plain};
}

int read_failure_reason(ToolStream stream, int system_error) {
    if (zfile_is_compressed(stream) == 0) {
        return system_error;
    }
    switch (zfile_error(stream)) {
    case Z_ERRNO:
        return system_error;
    case Z_MEM_ERROR:
        return ENOMEM;
    case Z_DATA_ERROR:
        return kReasonDamagedData;
    case Z_BUF_ERROR: // zlib's word for input that ended inside a member
        return kReasonTruncatedData;
    default:
        return 0;
    }
}

WatchedInput::WatchedInput(ToolStream stream, Progress *progress)
    : stream_(stream), progress_(progress), compressed_(zfile_is_compressed(stream) != 0) {}

long WatchedInput::read(void *context, char *buffer, std::size_t size) {
    auto *input = static_cast<WatchedInput *>(context);
    int system_error = 0;
    const long got = read_stream(input->stream_, buffer, size, &system_error);
    if (got < 0) {
        input->error_ = read_failure_reason(input->stream_, system_error);
    } else if (got > 0 && input->progress_ != nullptr && input->progress_->enabled) {
        input->done_ += got;
        const long long at = input->compressed_ ? zfile_offset(input->stream_) : input->done_;
        if (at >= 0) {
            progress_position(input->progress_, at);
        }
    }
    return got;
}
