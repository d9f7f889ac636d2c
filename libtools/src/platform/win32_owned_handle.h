// SPDX-License-Identifier: MIT
// A Windows handle closed when it goes out of scope, also when an exception (no
// memory for a name) passes: a handle left open keeps the file from being renamed or
// removed for as long as the process lives.
#ifndef LIBTOOLS_PLATFORM_WIN32_OWNED_HANDLE_H
#define LIBTOOLS_PLATFORM_WIN32_OWNED_HANDLE_H

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/system_error.h"

namespace platform {

class OwnedHandle {
  public:
    explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
    ~OwnedHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            const SavedError reason;
            const DWORD last = GetLastError();
            CloseHandle(handle_);
            SetLastError(last);
        }
    }
    OwnedHandle(const OwnedHandle &) = delete;
    OwnedHandle &operator=(const OwnedHandle &) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }

  private:
    HANDLE handle_;
};

} // namespace platform

#endif
