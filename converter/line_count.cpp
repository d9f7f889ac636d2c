#include "line_count.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kBlock = 1 << 16;
constexpr int kAllComments =
    TOOL_STRIP_BLOCK_COMMENTS | TOOL_STRIP_LINE_COMMENTS | TOOL_STRIP_HASH_COMMENTS;

} // namespace

bool count_line_ends(ToolStream stream, long long limit, LineEnds *ends) {
    *ends = LineEnds{};
    // A plain stream's seek gives 0 on success, a compressed one's the new position, 0.
    if (stream == nullptr || tool_fseek(stream, 0, SEEK_SET) != 0) {
        return false;
    }
    static char block[kBlock];
    while (limit < 0 || ends->bytes < limit) {
        const long long wanted =
            limit < 0 ? kBlock : std::min<long long>(kBlock, limit - ends->bytes);
        const int got = tool_fread(block, 1, static_cast<int>(wanted), stream);
        if (got <= 0) {
            break;
        }
        ends->newlines += std::count(block, block + got, '\n');
        ends->bytes += got;
        ends->ends_in_newline = block[got - 1] == '\n';
    }
    return tool_ferror(stream) == 0;
}

long long lines_of(const LineEnds &ends) {
    return ends.newlines + (ends.bytes > 0 && !ends.ends_in_newline ? 1 : 0);
}

long long line_ending_at(const LineEnds &ends) {
    return ends.newlines + (ends.ends_in_newline ? 0 : 1);
}

long long original_line_of(ToolStream stream, long long index) {
    LineEnds ends;
    if (index <= 0 || !count_line_ends(stream, 0, &ends)) {
        return 0;
    }
    // The byte reader consumes each line through its line end and no further, so the
    // position after the index-th line is where that line ends in the original.
    for (long long i = 0; i < index; ++i) {
        char *line = tool_read_line(stream, nullptr, kAllComments, 1);
        if (line == nullptr) {
            return 0;
        }
        tool_strfree(&line);
    }
    const long position = tool_ftell(stream);
    return position > 0 && count_line_ends(stream, position, &ends) ? line_ending_at(ends) : 0;
}
