// SPDX-License-Identifier: MIT
// A console answers GetConsoleMode; a file, a pipe or the null device does not.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "platform/terminal.h"

namespace platform {

bool standard_error_is_terminal() {
    DWORD mode = 0;
    const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           GetConsoleMode(handle, &mode) != 0;
}

} // namespace platform
