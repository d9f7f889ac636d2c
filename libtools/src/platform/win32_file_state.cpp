// SPDX-License-Identifier: MIT
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/file_state.h"

#include <cstdint>

namespace platform {

bool state_of_handle(long long handle, FileState *state) {
    const HANDLE file = reinterpret_cast<HANDLE>(static_cast<intptr_t>(handle));
    LARGE_INTEGER size{};
    FILE_BASIC_INFO times{};
    if (!GetFileSizeEx(file, &size) ||
        !GetFileInformationByHandleEx(file, FileBasicInfo, &times, sizeof times)) {
        return false;
    }
    state->size = static_cast<unsigned long long>(size.QuadPart);
    state->modified = times.LastWriteTime.QuadPart; // 100 ns units
    state->changed = times.ChangeTime.QuadPart;
    return true;
}

} // namespace platform
