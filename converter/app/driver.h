// SPDX-License-Identifier: MIT
// The driver: accepts the command line and rewrites every file it names.
#ifndef JOINT2SI_APP_DRIVER_H
#define JOINT2SI_APP_DRIVER_H

#include "app/command_line.h"

/// Runs the converter over the arguments and returns the exit status: 0, or -1 when a
/// file argument matched nothing or a matched file could not be converted.
int run_converter(int argc, char **argv);

/// Rewrites every file the file arguments of the accepted command line name (see
/// walk_argument; `command.recursive` also looks into every subdirectory below each
/// argument's directory; "-" converts standard input to standard output) and returns
/// the exit status: 0, or -1 when an argument matched nothing, a directory could not be
/// listed or a file could not be converted.
int rewrite_file_arguments(const CommandLine &command);

#endif
