// The conversion loop: read every line of a stream, convert force and moment lines,
// and send each line to an output sink.
#ifndef JOINT2SI_CONVERSION_LOOP_H
#define JOINT2SI_CONVERSION_LOOP_H

#include "output_sink.h"
#include "units.h"

#include "libtools/tool_sys_io.h"

/// How a conversion ended.
enum class ConversionOutcome {
    converted,    // every line was read, sent and the sink finished
    read_failed,  // the input is damaged or a line was lost to memory exhaustion
    not_text,     // the input held a zero byte
    write_failed, // the sink failed
};

/// Reads `input` to its end and sends every line, converted with `conversion`, to
/// `sink` (see output_sink.h); finishes the sink when the input was read whole.
ConversionOutcome convert_stream(ToolStream input, OutputSink *sink, const Conversion &conversion);

/// Prints the message for an outcome other than `converted`, naming `name`.
void report_outcome(ConversionOutcome outcome, const char *name);

#endif
