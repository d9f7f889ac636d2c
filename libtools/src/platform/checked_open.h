// SPDX-License-Identifier: MIT
// Opening a file by name once it was checked: the name may have been given to
// another file meanwhile (a FIFO whose open waits for a writer, a device, another
// regular file), so the open never waits and what it opened is checked with the
// open handle before anything is read.
#ifndef LIBTOOLS_PLATFORM_CHECKED_OPEN_H
#define LIBTOOLS_PLATFORM_CHECKED_OPEN_H

#include "platform/replace.h"

#include <cstddef>
#include <cstdio>
#include <string>

namespace platform {

enum class OpenCheck { opened, cannot_open, not_regular, other_file };

/// Opens the existing file `path` for reading (`update`: reading and writing) in binary
/// mode without any step that can block, and checks with the open handle that it is a
/// regular file and, when `expected` is not null, the file it identifies. A C runtime
/// descriptor that blocks as usual from then on, or -1 with `*check` telling why and
/// errno the system's reason (EISDIR for a directory; 0 for another file).
int open_checked(const std::string &path, bool update, const FileIdentity *expected,
                 OpenCheck *check);

/// Reads up to `size` bytes from the start of the open descriptor `fd` and leaves its
/// position at the start; the count read, or -1 on failure.
long read_start(int fd, unsigned char *buffer, std::size_t size);

/// A stdio stream over the descriptor `fd` with `mode` (it then owns the descriptor),
/// or null with the descriptor closed and errno telling why.
std::FILE *stream_of_descriptor(int fd, const char *mode);

/// Closes a descriptor that open_checked gave.
void close_descriptor(int fd);

} // namespace platform

#endif
