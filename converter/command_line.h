// The converter's command line: the option scan, the usage text and the
// acceptance steps that decide whether a run goes on to the files.
#ifndef JOINT2SI_COMMAND_LINE_H
#define JOINT2SI_COMMAND_LINE_H

#include "libtools/tool_dstring.h"

/// What the command line asks for. The unit texts are heap string slots (null when
/// the option was not given); the file arguments are names or wildcard patterns.
struct CommandLine {
    char *force_unit = nullptr;
    char *moment_unit = nullptr;
    StringList files = {0, nullptr};
    bool complete = true; // false when memory ran out while storing an argument
};

/// Scans argv[1 .. argc-1]: "-f" and "-m" take the next argument as their unit text
/// (the last one given wins), "-?" and "-help" print the usage text at once, and every
/// other argument is appended to `files`. The slots come in null, the list empty.
/// Returns 1 when every argument was stored, 0 when memory ran out for one (the
/// allocation message has been printed then).
int parse_arguments(int argc, char **argv, char **force_unit, char **moment_unit,
                    StringList *files);

/// Writes the usage text, naming `program`, to the standard error stream.
void print_usage(const char *program);

/// Applies the acceptance steps to the arguments and fills `command`. Returns true when
/// the run goes on to file processing; false when it ends here with status 0 (the usage
/// text has then been printed). `command->complete` tells whether every argument was
/// stored.
bool accept_command_line(int argc, char **argv, CommandLine *command);

/// Releases the unit texts and the file arguments.
void release_command_line(CommandLine *command);

#endif
