// SPDX-License-Identifier: MIT
#include "platform/terminal.h"

#include <unistd.h>

namespace platform {

bool standard_error_is_terminal() {
    return isatty(STDERR_FILENO) == 1;
}

} // namespace platform
