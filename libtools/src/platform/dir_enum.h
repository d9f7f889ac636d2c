// SPDX-License-Identifier: MIT
#ifndef LIBTOOLS_PLATFORM_DIR_ENUM_H
#define LIBTOOLS_PLATFORM_DIR_ENUM_H

#include <cstddef>

namespace platform {

/// One running enumeration of a directory's entries.
struct DirEnum;

/// Starts listing the directory `path` (toolkit syntax). Returns the enumeration and
/// points `*name` at the first entry's name, or null, with errno telling why, when
/// nothing can be listed.
/// Names come in the platform's order, "." and ".." included; a name stays valid until
/// the next call on the same enumeration.
DirEnum *dir_enum_first(const char *path, const char **name);

/// The next entry's name; null at the end of the listing or when reading fails.
const char *dir_enum_next(DirEnum *search);

/// Ends the enumeration and releases it; false when the platform reported a failure.
bool dir_enum_close(DirEnum *search);

/// Whether `path` (toolkit syntax) names an existing directory; when not, errno tells
/// why (ENOTDIR for an existing file of another kind).
bool dir_enum_is_directory(const char *path);

/// Writes the absolute form of `path` into `buffer` (terminator included); false when it
/// cannot be formed or does not fit `size` bytes (the buffer's content is then undefined).
bool dir_enum_full_path(const char *path, char *buffer, std::size_t size);

/// Whether the volume with the root `root` searches names without regard to case, so
/// that the scan lowers the names it reports. Never on POSIX.
bool dir_enum_ignores_case(const char *root);

} // namespace platform

#endif
