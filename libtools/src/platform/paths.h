// SPDX-License-Identifier: MIT
// Paths: each system's own syntax. On Windows a backslash or "/" separates the
// parts of a path. On POSIX only "/" does: a backslash is an ordinary character
// of a name, so a name read from a directory is used exactly as read (a file
// named "..\\x" stays in its directory).
#ifndef LIBTOOLS_PLATFORM_PATHS_H
#define LIBTOOLS_PLATFORM_PATHS_H

#include <string>

namespace platform {

/// The toolkit path in the form the operating system expects: the same text on both
/// systems, since the toolkit speaks each system's own syntax. When memory runs out,
/// "" (which names no file, so the call fails cleanly) with errno ENOMEM.
std::string native_path(const char *path);

/// The separator the operating system writes between directory and name.
char native_separator();

/// Whether `c` separates directory and name: "/" on POSIX; backslash or "/" on Windows.
bool is_path_separator(char c);

/// Writes every separator of `path` as native_separator() (Windows turns "/" into a
/// backslash; POSIX has one separator and changes nothing).
void use_native_separators(char *path);

} // namespace platform

#endif
