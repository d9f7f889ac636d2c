// The conversion of a whole input in one pass: lines from a BlockLineReader,
// classified and converted as classify_line and convert_line do, written through one
// large output buffer. The output is byte for byte what reading with tool_read_line,
// converting each line and writing it with a line end gives.
#ifndef JOINT2SI_FAST_CONVERT_H
#define JOINT2SI_FAST_CONVERT_H

#include "convert/block_line_reader.h"

#include <cstddef>
#include <string>

/// How the lines of one kind are converted: `given` is false when no unit text was
/// given (its lines stay as they are, no factor is looked up).
struct KindConversion {
    bool given;
    double factor;
};

/// The conversion of a run, resolved once.
struct FastConversion {
    KindConversion force;
    KindConversion moment;
    // Written after every line: "\n" or "\r\n"; null keeps the input's first line end
    // (the system's when the input has none).
    const char *line_end;
};

/// Takes a block of output; false when it could not be written.
struct OutputTarget {
    void *context;
    bool (*write)(void *context, const char *data, std::size_t size);
};

/// What a conversion met.
struct ConversionCounts {
    long long lines = 0;               // lines written
    long long forces = 0;              // force lines rewritten
    long long moments = 0;             // moment lines rewritten
    long long dropped = 0;             // rewritten lines whose text after the value held a digit
    long long first_dropped_index = 0; // the first of them among the lines (from 1), 0: none
    std::string first_dropped;         // and its text as read
};

enum class OnePassOutcome { converted, read_failed, not_text, write_failed };

/// Converts every line of `source` and writes it to `target`. Stops at the first write
/// failure, at a zero byte (not_text) and when the source fails (read_failed); the
/// output is then incomplete and must not be used.
OnePassOutcome convert_lines(ByteSource source, const FastConversion &conversion,
                             OutputTarget target, ConversionCounts *counts);

/// Converts one line as classify_line and convert_line would, appending it (without a
/// line end) to `out`. Returns the kind of a rewritten line, 0 when it stays as it is;
/// `*dropped` (if given) tells whether a digit followed the value.
int convert_line_text(LineView line, const FastConversion &conversion, std::string *out,
                      bool *dropped = nullptr);

#endif
