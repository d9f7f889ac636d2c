// SPDX-License-Identifier: MIT
#include "file/value_checks.h"

#include "terminal/messages.h"

bool values_exact(const char *name, const ConversionCounts &counts, bool allow_dropped_digits) {
    const bool dropped = counts.dropped != 0 && !allow_dropped_digits;
    // The earlier of the two refusing lines is named: the one a reader meets first.
    if (counts.not_finite != 0 &&
        (!dropped || counts.first_not_finite_line <= counts.first_dropped_line)) {
        report_value_not_finite(name, counts.first_not_finite_line,
                                counts.first_not_finite.c_str());
        return false;
    }
    if (dropped) {
        report_digits_after_value(name, counts.first_dropped_line, counts.first_dropped.c_str());
        return false;
    }
    return true;
}

void warn_about_values(const char *name, const ConversionCounts &counts) {
    if (counts.no_value != 0) {
        report_no_value(name, counts.no_value, counts.first_no_value_line,
                        counts.first_no_value.c_str());
    }
    if (counts.dropped != 0) {
        report_dropped_digits(name, static_cast<int>(counts.dropped),
                              static_cast<long>(counts.first_dropped_line),
                              counts.first_dropped.c_str());
    }
}
