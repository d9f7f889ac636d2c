// --dry-run: the conversion of a file written as a unified diff to standard output
// instead of into the file.
#ifndef JOINT2SI_FILE_PREVIEW_H
#define JOINT2SI_FILE_PREVIEW_H

#include "convert/conversion_counts.h"
#include "convert/units.h"
#include "file/input_source.h"

#include "libtools/zfile.h"

/// Converts `source` (the text of the open `input`) and writes the diff of the
/// conversion, headed with `name`, to standard output; counts into `*counts`. False,
/// after a message, when the text could not be read or converted or the diff written.
bool preview_file(const char *name, ToolStream input, WatchedInput *source,
                  const Conversion &conversion, ConversionCounts *counts);

#endif
