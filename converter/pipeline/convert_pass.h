// SPDX-License-Identifier: MIT
// The conversion of one whole input in one pass: its lines read in large blocks (read
// ahead by a thread of their own once the input is large), classified and converted,
// written through one large output buffer (written behind by another thread once the
// output is large). Line numbers, counts and whether anything changed come from the
// same pass, so an input is read, and inflated, once whatever is asked of it.
//
// The output is byte for byte what reading with tool_read_line (all comment kinds,
// empty lines kept), converting each line with classify_line and convert_line and
// writing it followed by the input's first line end (the system's when it has none)
// gives.
#ifndef JOINT2SI_PIPELINE_CONVERT_PASS_H
#define JOINT2SI_PIPELINE_CONVERT_PASS_H

#include "convert/byte_streams.h"
#include "convert/conversion_counts.h"
#include "convert/units.h"

/// Converts every line of `input` with the factors of `conversion` and writes it to
/// `sink`, counting into `*counts` (when not null). Stops at the first write failure
/// (write_failed, with the sink's error code in counts->error), at a zero byte
/// (not_text) and when the input fails (read_failed); the sink is
/// finished only when the input was read whole, and the output must not be used
/// otherwise. A `watcher` is told the bytes read and each written line's origin; the
/// output is then written in the calling thread, in step with it. What a worker thread
/// threw (std::bad_alloc) is thrown here.
ConvertOutcome convert(ByteSource input, OutputSink *sink, const Conversion &conversion,
                       ConversionCounts *counts, ConversionWatcher *watcher = nullptr);

#endif
