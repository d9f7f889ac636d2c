// SPDX-License-Identifier: MIT
#include "sinks/standard_output_sink.h"

#include "libtools/tool_console.h"

#include <cerrno>
#include <new>

StandardOutputSink::StandardOutputSink(std::FILE *output) : output_(output) {
    // Room for all that may be held, asked for once: growing by doubling would pass
    // the bound. Pages not written to take no memory.
    try {
        held_.reserve(kHeldBytes);
    } catch (const std::bad_alloc &) {
        // Held text grows as it comes instead.
    }
    // The line ends are written as chosen, untranslated on every system.
    usable_ = tool_binary_mode(output_) != 0;
}

// Writes to the output; false, with the system's reason kept, when it refused.
bool StandardOutputSink::write(const char *data, std::size_t size) {
    errno = 0;
    if (std::fwrite(data, 1, size, output_) == size) {
        return true;
    }
    error_ = errno;
    return false;
}

// Writes out what is held; false when the output refused it.
bool StandardOutputSink::release_held() {
    const bool written = held_.empty() || write(held_.data(), held_.size());
    held_.clear();
    held_.shrink_to_fit();
    return written;
}

bool StandardOutputSink::append(const char *data, std::size_t size) {
    if (!usable_) {
        return false;
    }
    if (!streaming_ && held_.size() + size <= kHeldBytes) {
        try {
            held_.append(data, size);
            return true;
        } catch (const std::bad_alloc &) {
            // No room to hold it back: write it out as it comes instead.
        }
    }
    if (!streaming_) {
        streaming_ = true;
        if (!release_held()) {
            return false;
        }
    }
    return write(data, size);
}

bool StandardOutputSink::finish() {
    if (!usable_ || !release_held()) {
        return false;
    }
    errno = 0;
    if (std::fflush(output_) != 0 || std::ferror(output_) != 0) {
        error_ = errno;
        return false;
    }
    return true;
}
