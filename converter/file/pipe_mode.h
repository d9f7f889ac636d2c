// SPDX-License-Identifier: MIT
// The pipe mode: the file argument "-" converts standard input to standard output.
#ifndef JOINT2SI_FILE_PIPE_MODE_H
#define JOINT2SI_FILE_PIPE_MODE_H

#include "convert/conversion_counts.h"
#include "file/file_settings.h"

/// The file argument that stands for standard input.
constexpr char kStandardInputName[] = "-";

/// Reads standard input (plain or gzip data) to its end and writes the converted text
/// to standard output (see sinks/standard_output_sink.h for what it holds back),
/// counting into `*counts` (not null). False, after a message naming "-", when the
/// input could not be read or was not text, its values refuse it as they refuse a file
/// (the held text is then not written), or the output failed.
bool convert_standard_input(const FileSettings &settings, ConversionCounts *counts);

#endif
