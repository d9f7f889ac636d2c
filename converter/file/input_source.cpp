#include "file/input_source.h"

#include "libtools/tool_sys_io.h"

#include <algorithm>
#include <climits>

namespace {

long read_stream(void *context, char *buffer, std::size_t size) {
    auto stream = static_cast<ToolStream>(context);
    const int count = static_cast<int>(std::min<std::size_t>(size, INT_MAX / 2));
    const int got = tool_fread(buffer, 1, count, stream);
    return got <= 0 && tool_ferror(stream) != 0 ? -1 : got;
}

} // namespace

ByteSource stream_source(ToolStream stream) {
    return ByteSource{stream, read_stream};
}

WatchedInput::WatchedInput(ToolStream stream, Progress *progress)
    : stream_(stream), progress_(progress), compressed_(zfile_is_compressed(stream) != 0) {}

ByteSource WatchedInput::source() {
    return progress_->enabled ? ByteSource{this, read} : stream_source(stream_);
}

long WatchedInput::read(void *context, char *buffer, std::size_t size) {
    auto *input = static_cast<WatchedInput *>(context);
    const long got = read_stream(input->stream_, buffer, size);
    if (got > 0) {
        input->done_ += got;
        const long long at = input->compressed_ ? zfile_offset(input->stream_) : input->done_;
        if (at >= 0) {
            progress_position(input->progress_, at);
        }
    }
    return got;
}
