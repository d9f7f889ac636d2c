/* SPDX-License-Identifier: MIT */
/* tool_console: the command line, the console and the standard streams, with names
 * in UTF-8.
 *
 * Inside the toolkit every name is UTF-8 on every system. A program calls
 * tool_utf8_arguments once at the start of main, before it looks at its arguments,
 * and writes any text that may hold a name with tool_console_write, which shows it
 * in the console's encoding.
 *
 * Reasons: a 0 result of tool_console_write or tool_binary_mode leaves errno as the
 * failed write or mode change set it; tool_utf8_arguments gives no reason (the
 * arguments stay as the system passed them, which the program may still use).
 *
 * Threads: the console and the standard streams belong to the main thread; worker
 * threads never write to them.
 */
#ifndef LIBTOOLS_TOOL_CONSOLE_H
#define LIBTOOLS_TOOL_CONSOLE_H

#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

/// Replaces `*argc` and `*argv` by the process's arguments in UTF-8. On Windows they are
/// read again from the wide command line, so names beyond the code page survive; on
/// POSIX they stay as the system passed them. The new vector lives until the process
/// ends. 1 on success; 0 with nothing changed when they could not be read or converted,
/// or for a null argument.
int tool_utf8_arguments(int *argc, char ***argv);

/// Writes the UTF-8 `text` to `stream` (standard error or output) so that the console
/// shows it: unchanged on POSIX; on Windows as wide text to a console window, else in
/// the console's code page. 1 on success, 0 on failure or for a null argument.
int tool_console_write(const char *text, FILE *stream);

/// The line end of this system's text files: "\n" on POSIX, "\r\n" on Windows.
const char *tool_system_line_end(void);

/// Makes `stream` (standard input or output, or a plain file stream; before its first
/// read or write, or right after a seek) pass bytes unchanged: on Windows its
/// text-mode translation of line ends is turned off; on POSIX there is none. 1 on
/// success, 0 on failure or for null.
int tool_binary_mode(FILE *stream);

#ifdef __cplusplus
}
#endif

#endif
