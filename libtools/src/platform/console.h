// SPDX-License-Identifier: MIT
// The process's command line and its console: arguments reach the toolkit in UTF-8,
// and text for the console leaves it in the console's encoding.
#ifndef LIBTOOLS_PLATFORM_CONSOLE_H
#define LIBTOOLS_PLATFORM_CONSOLE_H

#include <cstdio>

namespace platform {

/// Replaces `*argc` and `*argv` by the process's arguments in UTF-8: on Windows read
/// again from the wide command line, on POSIX left as they are (the bytes the system
/// passed). The new vector lives until the process ends. False, with nothing changed,
/// when they cannot be read or converted.
bool utf8_arguments(int *argc, char ***argv);

/// Writes the UTF-8 `text` to `stream` so that the console shows it: unchanged on
/// POSIX; on Windows as wide text to a console window, else converted to the console's
/// code page. False when writing failed.
bool write_console_text(const char *text, std::FILE *stream);

/// The line end of the system's text files: "\n" on POSIX, "\r\n" on Windows.
const char *system_line_end();

/// Turns off the line-end translation of `stream` (Windows); true on POSIX.
bool set_binary_mode(std::FILE *stream);

} // namespace platform

#endif
