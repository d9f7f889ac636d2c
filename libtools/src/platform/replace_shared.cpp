// The parts of the replacement code that are the same on every system: the
// fault-injection counters, the checked write and close, and the random name part.
#include "platform/replace_shared.h"

#include <cerrno>
#include <cstdio>
#include <random>

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

std::string random_name_suffix() {
    static std::mt19937 generator(std::random_device{}());
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string suffix;
    for (int i = 0; i < 8; ++i) {
        suffix += letters[generator() % (sizeof letters - 1)];
    }
    return suffix;
}

} // namespace platform
