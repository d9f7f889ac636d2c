// Line numbers of the original file, counted on demand: the line reader delivers
// logical lines (comments removed, comment-only lines dropped), so where a line stood
// in the file, and how many lines the file had, is counted again from its bytes when
// a message needs it.
#ifndef JOINT2SI_LINE_COUNT_H
#define JOINT2SI_LINE_COUNT_H

#include "libtools/tool_sys_io.h"

/// What the text of a stream holds up to some position.
struct LineEnds {
    long long newlines = 0;       // "\n" bytes
    long long bytes = 0;          // bytes counted
    bool ends_in_newline = false; // the last byte counted is "\n"
};

/// Rewinds `stream` and counts its first `limit` bytes (all of them for a negative
/// limit), decompressed for a gzip stream. A plain stream opened in text mode reads the
/// file's own bytes from then on (no translation of line ends). False when the stream
/// cannot be rewound or read (standard input, a read error); the stream is left at an
/// unknown position.
bool count_line_ends(ToolStream stream, long long limit, LineEnds *ends);

/// The number of the line of the original text (from 1) on which the `index`-th line
/// the line reader delivers (from 1) ends, in the file's own bytes (CR LF line ends
/// included): the stream is rewound and read again. 0 when the stream cannot be rewound
/// or read, or has fewer lines.
long long original_line_of(ToolStream stream, long long index);

/// The number of lines of a text: its line ends, and one more for text after the last.
long long lines_of(const LineEnds &ends);

/// The number of the line (from 1) that ends at the counted position: the line whose
/// line end (or the end of the text) was the last byte counted.
long long line_ending_at(const LineEnds &ends);

#endif
