// SPDX-License-Identifier: MIT
// Scratch files: storage on disk for a program's own intermediate data, which
// nobody else opens and which must not outlive the process.
#ifndef LIBTOOLS_PLATFORM_SCRATCH_FILE_H
#define LIBTOOLS_PLATFORM_SCRATCH_FILE_H

#include <cstdio>

namespace platform {

/// A new empty file in the user's temporary directory, open for reading and writing in
/// binary mode, that the system removes by itself: it is unlinked at once (POSIX) or
/// removed when its handle closes (Windows), also when the process is killed. Null when
/// none could be created.
std::FILE *create_scratch_file();

} // namespace platform

#endif
