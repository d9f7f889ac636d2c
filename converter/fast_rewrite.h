// The one-pass conversion of an input stream into a replacement file.
#ifndef JOINT2SI_FAST_REWRITE_H
#define JOINT2SI_FAST_REWRITE_H

#include "fast_convert.h"
#include "file_rewrite.h"
#include "units.h"

/// The one-pass form of the run's conversion.
FastConversion conversion_for(const Conversion &conversion);

/// Converts every line of `input` into `replacement`, each followed by "\n". The
/// outcome says whether the input was refused or a write failed; the caller still
/// asks tool_ferror whether the input was read whole.
ConversionOutcome convert_stream_fast(ToolStream input, ToolReplacement *replacement,
                                      const Conversion &conversion,
                                      ConversionCounts *counts = nullptr);

#endif
