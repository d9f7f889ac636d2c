// SPDX-License-Identifier: MIT
#include "platform/replace_shared.h"
#include "platform/write_back.h"

#include <windows.h>

#include <cstdio>

namespace platform {

bool start_write_back(std::FILE *stream) {
    // Windows has no call that starts a file's write-back without waiting for it: the
    // flush of the stream hands the bytes to the system, and the sync (FlushFileBuffers,
    // issued for many files at once from several threads) does the rest.
    return std::fflush(stream) == 0 && !injected_failure(FileOperation::write_back);
}

RenameResult replace_leaving_directory_sync(const std::string &replacement,
                                            const std::string &target) {
    return replace_atomically(replacement, target); // the move writes through
}

int usable_cores() {
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    int count = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) != 0) {
        for (; process != 0; process &= process - 1) {
            ++count;
        }
    }
    return count > 0 ? count : 1;
}

long open_file_limit() {
    return _getmaxstdio();
}

void reserve_open_files(long) {
    // The C library's table of streams is sized by _setmaxstdio, not grown on demand.
}

} // namespace platform
