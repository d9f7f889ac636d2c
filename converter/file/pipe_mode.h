// The pipe mode: the file argument "-" converts standard input to standard output.
#ifndef JOINT2SI_FILE_PIPE_MODE_H
#define JOINT2SI_FILE_PIPE_MODE_H

#include "convert/conversion_counts.h"
#include "convert/units.h"

/// The file argument that stands for standard input.
constexpr char kStandardInputName[] = "-";

/// Reads standard input (plain or gzip data) to its end and writes the converted text
/// to standard output (see sinks/standard_output_sink.h for what it holds back),
/// counting into `*counts`. False, after a message naming "-", when the input could
/// not be read or was not text, or the output failed.
bool convert_standard_input(const Conversion &conversion, ConversionCounts *counts);

#endif
