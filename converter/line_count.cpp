#include "line_count.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kBlock = 1 << 16;

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
