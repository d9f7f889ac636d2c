// SPDX-License-Identifier: MIT
#include "sinks/replacement_sink.h"

#include <cerrno>
#include <climits>

// In parts the library's interface can take.
bool ReplacementSink::append(const char *data, std::size_t size) {
    while (size > 0) {
        const unsigned part = size > UINT_MAX / 2 ? UINT_MAX / 2 : static_cast<unsigned>(size);
        errno = 0;
        if (!tool_replace_write(replacement_, data, part)) {
            error_ = error_ != 0 ? error_ : errno; // the first failure's: a later one repeats it
            return false;
        }
        data += part;
        size -= part;
    }
    return true;
}
