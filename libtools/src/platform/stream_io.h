#ifndef LIBTOOLS_PLATFORM_STREAM_IO_H
#define LIBTOOLS_PLATFORM_STREAM_IO_H

#include <cstdio>

namespace platform {

/// The next byte of `stream` as 0 to 255, or EOF at the end or on an error, read
/// without taking the stream's lock (the toolkit is single-threaded).
int read_byte_unlocked(std::FILE *stream);

} // namespace platform

#endif
