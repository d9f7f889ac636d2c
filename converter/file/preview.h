// SPDX-License-Identifier: MIT
// --dry-run: the conversion of a file written as a unified diff to standard output
// instead of into the file.
#ifndef JOINT2SI_FILE_PREVIEW_H
#define JOINT2SI_FILE_PREVIEW_H

#include "convert/conversion_counts.h"
#include "convert/units.h"
#include "file/input_source.h"

/// Converts `source` (the text of `name`) and writes the diff of the conversion, built
/// while converting, to standard output; counts into `*counts`. Nothing is written
/// when the text could not be read or converted, or when its values refuse it as they
/// refuse the real run (see file/value_checks.h); false then, or when the diff could
/// not be written, after a message.
bool preview_file(const char *name, WatchedInput *source, const Conversion &conversion,
                  bool allow_dropped_digits, ConversionCounts *counts);

#endif
