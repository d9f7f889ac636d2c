// SPDX-License-Identifier: MIT
// Path rules that differ between systems: where the directory part of a path ends,
// what a name can hold and how long a path may be.
#ifndef LIBTOOLS_PLATFORM_PATH_RULES_H
#define LIBTOOLS_PLATFORM_PATH_RULES_H

#include <cstddef>

namespace platform {

/// The number of leading characters of `path` that name its directory, through the
/// last separator: "/" on POSIX; "/" or "\\" on Windows, where a drive ("C:") alone
/// also counts ("C:a.jnt" gives 2). 0 when the path has no directory part.
std::size_t directory_part_length(const char *path);

/// Whether `text`, appended to a file's name, gives a name the system keeps as written:
/// 0 when it does; else the first character it holds that no name can hold ("/" on
/// POSIX, where only "/" and the zero byte are refused; on Windows also the backslash,
/// < > : " | ? * and the control characters), or on Windows its last character when
/// that is a dot or a blank, which the system drops from the end of a name.
char bad_name_end_character(const char *text);

/// The number of leading characters of `path` that the system keeps when it is given
/// `path`: all of them on POSIX, where a dot or a blank ends a name like any other
/// character; on Windows all but the dots and blanks at the end of its last name, which
/// the system drops ("a.jnt. ." opens "a.jnt"), except in the forms the system takes as
/// written ("\\\\?\\..." and "\\??\\...") and in a last name of nothing else ("..").
std::size_t kept_path_length(const char *path);

/// The size in bytes, terminator included, of the longest path the toolkit accepts:
/// PATH_MAX on POSIX; on Windows room in UTF-8 for the 32767 characters of the
/// extended-length form, in which paths of MAX_PATH characters and more are named.
std::size_t path_limit();

} // namespace platform

#endif
