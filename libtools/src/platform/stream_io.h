// SPDX-License-Identifier: MIT
// Opening files as streams and reading them byte by byte. Paths are toolkit paths in
// UTF-8; each system turns them into its own form (the wide calls on Windows).
#ifndef LIBTOOLS_PLATFORM_STREAM_IO_H
#define LIBTOOLS_PLATFORM_STREAM_IO_H

#include <zlib.h>

#include <cstdio>

namespace platform {

/// The next byte of `stream` as 0 to 255, or EOF at the end or on an error, read
/// without taking the stream's lock: a stream belongs to one thread at a time.
int read_byte_unlocked(std::FILE *stream);

/// Reads up to `size` bytes (at most 1 MiB) from the file under `stream` with one system
/// call, as much as it gives now: a pipe gives what it holds rather than waiting for
/// more. The stream must be unbuffered and never read through stdio. A call
/// interrupted by a signal before anything came is made again, unless the calling
/// worker was told to stop (thread.h). The count, 0 at the end, -1 on failure.
long read_some(std::FILE *stream, unsigned char *buffer, std::size_t size);

/// fopen(path, mode); null on failure, for a null argument, or for a name the system
/// cannot take.
std::FILE *open_file(const char *path, const char *mode);

/// gzopen(path, mode); null on failure, for a null argument, or for a name the system
/// cannot take.
gzFile open_gzip(const char *path, const char *mode);

/// A binary stdio stream over a duplicate of standard input (closing it leaves standard
/// input open); null on failure.
std::FILE *open_standard_input();

} // namespace platform

#endif
