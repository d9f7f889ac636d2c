// The pipe mode: the file argument "-" converts standard input to standard output.
#ifndef JOINT2SI_STANDARD_INPUT_H
#define JOINT2SI_STANDARD_INPUT_H

#include "app/command_line.h"

/// The file argument that stands for standard input.
constexpr char kStandardInputName[] = "-";

/// Reads standard input (plain or gzip data) to its end and writes the converted text
/// to standard output (see standard_output_sink.h for what it holds back). Returns
/// false, after printing why with the name "-", when the input could not be read or
/// was not text, or the output failed.
bool convert_standard_input(const CommandLine &options);

#endif
