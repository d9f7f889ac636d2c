// SPDX-License-Identifier: MIT
// The message for a conversion that did not end well.
#ifndef JOINT2SI_FILE_CONVERT_FAILURE_H
#define JOINT2SI_FILE_CONVERT_FAILURE_H

#include "convert/conversion_counts.h"
#include "terminal/messages.h"

/// Reports why the conversion of `name` ended with `outcome`: a failed read with
/// `read_reason` (WatchedInput::error), a failed write with the sink's reason that
/// `counts` kept. Nothing for `converted`.
inline void report_convert_failure(ConvertOutcome outcome, const char *name,
                                   const ConversionCounts &counts, int read_reason) {
    if (outcome == ConvertOutcome::read_failed) {
        report_cannot_read(name, read_reason);
    } else if (outcome == ConvertOutcome::not_text) {
        report_not_text(name);
    } else if (outcome == ConvertOutcome::write_failed) {
        report_cannot_write(name, counts.error);
    }
}

#endif
