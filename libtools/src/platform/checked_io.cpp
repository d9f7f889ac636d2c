// Fault-injection counters and the checked stream operations of a replacement,
// which are the same on every system.
#include "platform/fault_injection.h"

#include <cerrno>
#include <cstdio>

namespace platform {

namespace {

long countdown[static_cast<int>(FileOperation::count)] = {};

} // namespace

void fail_nth_file_operation(FileOperation operation, long n) {
    countdown[static_cast<int>(operation)] = n > 0 ? n : 0;
}

bool injected_failure(FileOperation operation) {
    long &left = countdown[static_cast<int>(operation)];
    if (left == 0 || --left != 0) {
        return false;
    }
    errno = EIO;
    return true;
}

// The stream operations of a replacement that need nothing of the system itself.
bool write_all(std::FILE *stream, const char *data, std::size_t size) {
    if (injected_failure(FileOperation::write)) {
        return false;
    }
    return std::fwrite(data, 1, size, stream) == size;
}

bool close_stream(std::FILE *stream) {
    const bool closed = std::fclose(stream) == 0;
    return !injected_failure(FileOperation::close) && closed;
}

} // namespace platform
