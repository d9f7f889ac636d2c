#include "file/line_count.h"

#include "libtools/tool_console.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kBlock = 1 << 16;
constexpr int kAllComments =
    TOOL_STRIP_BLOCK_COMMENTS | TOOL_STRIP_LINE_COMMENTS | TOOL_STRIP_HASH_COMMENTS;

// Counts from the current position of `stream`, as count_line_ends does from its start.
bool count_from_here(ToolStream stream, long long limit, LineEnds *ends) {
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

// Moves to the start of the text. A plain stream opened in text mode would deliver
// Windows' CR LF as "\n" and end at a Ctrl-Z byte, so it is made to deliver the file's
// own bytes; a compressed stream always does.
bool rewind_untranslated(ToolStream stream) {
    // A plain stream's seek gives 0 on success, a compressed one's the new position, 0.
    if (stream == nullptr || tool_fseek(stream, 0, SEEK_SET) != 0) {
        return false;
    }
    return zfile_is_compressed(stream) != 0 ||
           tool_binary_mode(static_cast<std::FILE *>(stream)) != 0;
}

} // namespace

bool count_line_ends(ToolStream stream, long long limit, LineEnds *ends) {
    *ends = LineEnds{};
    return rewind_untranslated(stream) && count_from_here(stream, limit, ends);
}

long long lines_of(const LineEnds &ends) {
    return ends.newlines + (ends.bytes > 0 && !ends.ends_in_newline ? 1 : 0);
}

long long line_ending_at(const LineEnds &ends) {
    return ends.newlines + (ends.ends_in_newline ? 0 : 1);
}

// Counted without asking the stream for its position, which a text-mode stream gives
// in other units than the bytes it delivers: the line ends after the index-th line are
// taken from the line ends of the whole text.
long long original_line_of(ToolStream stream, long long index) {
    LineEnds all;
    if (index <= 0 || !count_line_ends(stream, -1, &all) || !rewind_untranslated(stream)) {
        return 0;
    }
    for (long long i = 0; i < index; ++i) {
        char *line = tool_read_line(stream, nullptr, kAllComments, 1);
        if (line == nullptr) {
            return 0;
        }
        tool_strfree(&line);
    }
    LineEnds rest;
    if (!count_from_here(stream, -1, &rest)) {
        return 0;
    }
    // The reader consumes a line through its line end and no further, so unless the
    // text ended with that line, its last byte consumed is a "\n".
    return rest.bytes == 0 ? line_ending_at(all) : all.newlines - rest.newlines;
}
