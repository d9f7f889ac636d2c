// SPDX-License-Identifier: MIT
// Whether a file's conversion converted every value exactly once, exactly, and what is
// said about the lines it could not convert. Decided from the counts after the pass:
// a refused file costs a whole pass, but refusals are rare and the pass stays free of
// decisions about the file.
#ifndef JOINT2SI_FILE_VALUE_CHECKS_H
#define JOINT2SI_FILE_VALUE_CHECKS_H

#include "convert/conversion_counts.h"

/// True when the converted text counted in `counts` may take the place of the text of
/// `name`. False, after an error naming the first line that refuses it, when a value's
/// conversion is not a finite number or, unless `allow_dropped_digits`, a converted
/// line had digits after its value.
bool values_exact(const char *name, const ConversionCounts &counts, bool allow_dropped_digits);

/// Warns, for an accepted conversion of `name`, of the force and moment lines left as
/// they are for want of a value, and of converted lines that dropped digits after their
/// value (allowed, or the file would have been refused).
void warn_about_values(const char *name, const ConversionCounts &counts);

#endif
