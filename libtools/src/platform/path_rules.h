// SPDX-License-Identifier: MIT
// Path rules that differ between systems: where the directory part of a path ends
// and how long a path may be.
#ifndef LIBTOOLS_PLATFORM_PATH_RULES_H
#define LIBTOOLS_PLATFORM_PATH_RULES_H

#include <cstddef>

namespace platform {

/// The number of leading characters of `path` that name its directory, through the
/// last separator: "/" on POSIX; "/" or "\\" on Windows, where a drive ("C:") alone
/// also counts ("C:a.jnt" gives 2). 0 when the path has no directory part.
std::size_t directory_part_length(const char *path);

/// The size in bytes, terminator included, of the longest path the toolkit accepts:
/// PATH_MAX on POSIX; on Windows room for MAX_PATH characters in UTF-8 (the system
/// itself refuses paths of MAX_PATH characters or more).
std::size_t path_limit();

} // namespace platform

#endif
