// SPDX-License-Identifier: MIT
// Scratch files on Windows: created exclusively in the user's temporary directory
// with FILE_FLAG_DELETE_ON_CLOSE, so the system removes them when the handle closes,
// whether the stream is closed or the process ends. (The C library's tmpfile creates
// its files in the root directory, which an ordinary user may not write to.)
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/replace.h"
#include "platform/replace_shared.h"
#include "platform/scratch_file.h"
#include "platform/wide_names.h"

#include <fcntl.h>
#include <io.h>

#include <string>

namespace platform {

namespace {

constexpr int kCreateAttempts = 100;

// A new file no other process created; its handle or INVALID_HANDLE_VALUE.
HANDLE create_deleted_on_close(const std::string &directory) {
    const char last = directory.empty() ? '\\' : directory.back();
    const std::string separator = last == '\\' || last == '/' ? "" : "\\";
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        const std::string path = directory + separator + "joint2si-" + random_name_suffix();
        const HANDLE handle = CreateFileW(
            system_path_of(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
            FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            return handle;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) {
            return INVALID_HANDLE_VALUE;
        }
    }
    return INVALID_HANDLE_VALUE;
}

} // namespace

std::FILE *create_scratch_file() {
    const HANDLE handle = create_deleted_on_close(temporary_directory());
    if (handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
    if (descriptor < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE *file = _fdopen(descriptor, "w+b");
    if (file == nullptr) {
        _close(descriptor);
    }
    return file;
}

} // namespace platform
