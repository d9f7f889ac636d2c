// The driver: accepts the command line and rewrites every file it names.
#ifndef JOINT2SI_REWRITE_H
#define JOINT2SI_REWRITE_H

/// Runs the converter over the arguments and returns the exit status: 0, or -1 when a
/// file argument matched nothing or a matched file could not be converted.
int run_converter(int argc, char **argv);

#endif
