#include "conversion_loop.h"

#include "messages.h"

#include "libtools/tool_console.h"

#include <new>
#include <string>

namespace {

// A zero byte means the input is not text: stop there rather than read on (a gzip
// file of zeros would otherwise be inflated whole before it is refused).
constexpr int kReadOptions = TOOL_STRIP_BLOCK_COMMENTS | TOOL_STRIP_LINE_COMMENTS |
                             TOOL_STRIP_HASH_COMMENTS | TOOL_READ_LINE_STOP_AT_ZERO_BYTE;

// What the reader reported about the lines it has delivered and the end it met.
ConversionOutcome reading_outcome(ToolStream input) {
    const int status = tool_read_line_status();
    if ((status & TOOL_READ_LINE_OUT_OF_MEMORY) != 0 || tool_ferror(input) != 0) {
        return ConversionOutcome::read_failed;
    }
    return (status & TOOL_READ_LINE_ZERO_BYTE) != 0 ? ConversionOutcome::not_text
                                                    : ConversionOutcome::converted;
}

// The line end the output keeps: the input's first one, else the system's.
const char *line_end_of_input() {
    const int first = tool_read_line_first_end();
    if (first == TOOL_LINE_END_CRLF) {
        return "\r\n";
    }
    return first == TOOL_LINE_END_LF ? "\n" : tool_system_line_end();
}

// Sends one line; a force or moment line is converted in its slot, and the text it
// had before is kept in `original` (reused, so no line costs an allocation of its own
// once it has grown). False when the line was lost or the sink failed; `*lost` tells.
bool send_line(char **line, OutputSink *sink, const Conversion &conversion, std::string *original,
               bool *lost) {
    const int kind = classify_line(*line);
    if (kind == 0) {
        return sink->write(*line, *line);
    }
    try {
        original->assign(*line);
    } catch (const std::bad_alloc &) {
        report_out_of_memory();
        *lost = true;
        return false;
    }
    convert_line_by_factor(line, conversion_factor(conversion, kind));
    if (*line == nullptr) {
        *lost = true; // lost to memory exhaustion, already reported
        return false;
    }
    return sink->write(original->c_str(), *line);
}

} // namespace

ConversionOutcome convert_stream(ToolStream input, OutputSink *sink, const Conversion &conversion) {
    tool_read_line_clear_status();
    std::string original;
    bool started = false;
    for (;;) {
        char *line = tool_read_line(input, nullptr, kReadOptions, 1);
        if (!started && !sink->start(line_end_of_input())) {
            tool_strfree(&line);
            return ConversionOutcome::write_failed;
        }
        started = true;
        if (line == nullptr) {
            const ConversionOutcome outcome = reading_outcome(input);
            if (outcome == ConversionOutcome::converted && !sink->finish()) {
                return ConversionOutcome::write_failed;
            }
            return outcome;
        }
        bool lost = false;
        const bool sent = send_line(&line, sink, conversion, &original, &lost);
        tool_strfree(&line);
        if (!sent) {
            return lost ? ConversionOutcome::read_failed : ConversionOutcome::write_failed;
        }
    }
}

void report_outcome(ConversionOutcome outcome, const char *name) {
    if (outcome == ConversionOutcome::read_failed) {
        report_cannot_read(name);
    } else if (outcome == ConversionOutcome::not_text) {
        report_not_text(name);
    } else if (outcome == ConversionOutcome::write_failed) {
        report_cannot_write(name);
    }
}
