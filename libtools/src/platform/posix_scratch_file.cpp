// SPDX-License-Identifier: MIT
// Scratch files on POSIX: created exclusively under TMPDIR and unlinked at once, so
// no name leads to them and their space returns when the stream is closed.
#include "platform/replace.h"
#include "platform/scratch_file.h"

#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace platform {

std::FILE *create_scratch_file() {
    const std::string pattern = temporary_directory() + "/.joint2si-scratch-XXXXXX";
    std::vector<char> path(pattern.begin(), pattern.end());
    path.push_back('\0');
    const int descriptor = mkstemp(path.data());
    if (descriptor < 0) {
        return nullptr;
    }
    unlink(path.data());
    std::FILE *file = fdopen(descriptor, "w+b");
    if (file == nullptr) {
        close(descriptor);
    }
    return file;
}

} // namespace platform
