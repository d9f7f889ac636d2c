#include "platform/stream_io.h"

#include <stdio.h>

namespace platform {

int read_byte_unlocked(std::FILE *stream) {
    return getc_unlocked(stream);
}

} // namespace platform
