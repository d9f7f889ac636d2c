// SPDX-License-Identifier: MIT
#include "platform/directory_sync.h"
#include "platform/replace_shared.h"

namespace platform {

// Windows has no sync of a directory's entries: the rename that puts a replacement in
// place is asked to write through (MOVEFILE_WRITE_THROUGH), so it is durable when it
// returns, and nothing is left to sync. Only a failure a test injects is reported.
bool sync_directory(const std::string &) {
    return !injected_failure(FileOperation::directory_sync);
}

} // namespace platform
