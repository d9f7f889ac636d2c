#include "platform/stream_io.h"

#include <stdio.h>

namespace platform {

int read_byte_unlocked(std::FILE *stream) {
    return _fgetc_nolock(stream);
}

} // namespace platform
