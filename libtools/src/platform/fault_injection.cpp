#include "platform/fault_injection.h"

#include <cerrno>

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

} // namespace platform
