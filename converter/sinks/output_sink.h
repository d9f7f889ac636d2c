// Output sinks: where the one-pass conversion sends the bytes it makes.
//
// The conversion (convert_lines) hands its output to an OutputTarget in large blocks.
// A sink is such a target with a beginning and an end:
//
//     sink.start()                 once, before the conversion
//     sink.append(data, size)      for every block the conversion writes
//     sink.finish()                once, only when the whole input was read
//
// The replacement sink writes into the file that will replace the original (plain or
// gzip-compressed); the standard-output sink serves the pipe mode. A sink must not
// keep the pointers it is given past the call.
#ifndef JOINT2SI_OUTPUT_SINK_H
#define JOINT2SI_OUTPUT_SINK_H

#include "convert/fast_convert.h"

#include <cstddef>

class OutputSink {
  public:
    virtual ~OutputSink() = default;

    /// Prepares the output; false when it cannot be used (a write failure).
    virtual bool start() = 0;

    /// Takes the next `size` bytes of output; false when they could not be stored.
    virtual bool append(const char *data, std::size_t size) = 0;

    /// Completes the output after an input read whole; false when that failed.
    virtual bool finish() = 0;
};

/// The conversion's output target that appends to `sink`.
OutputTarget target_of(OutputSink *sink);

#endif
