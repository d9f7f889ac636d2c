// SPDX-License-Identifier: MIT
#include "platform/system_error.h"

namespace platform {

// The system calls set errno themselves.
void keep_system_error() {}

} // namespace platform
