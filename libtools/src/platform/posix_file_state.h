// SPDX-License-Identifier: MIT
// The state of a file from what stat and fstat gave, for the POSIX code that has
// asked for them already.
#ifndef LIBTOOLS_PLATFORM_POSIX_FILE_STATE_H
#define LIBTOOLS_PLATFORM_POSIX_FILE_STATE_H

#include "platform/file_state.h"

#include <sys/stat.h>

namespace platform {

FileState state_of_status(const struct stat &status);

} // namespace platform

#endif
