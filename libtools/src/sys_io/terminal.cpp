// SPDX-License-Identifier: MIT
// Whether the standard error stream is a terminal.
#include "libtools/tool_sys_io.h"

#include "platform/terminal.h"

extern "C" {

int tool_stderr_is_terminal(void) {
    return platform::standard_error_is_terminal() ? 1 : 0;
}

} // extern "C"
