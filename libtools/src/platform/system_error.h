// SPDX-License-Identifier: MIT
// The system's reason for a failure, as errno, on every system. A caller of the
// library learns why an operation failed from errno alone; on Windows the reason
// first comes as a Win32 error code, which is turned into the errno value of the
// same meaning here.
#ifndef LIBTOOLS_PLATFORM_SYSTEM_ERROR_H
#define LIBTOOLS_PLATFORM_SYSTEM_ERROR_H

#include <cerrno>

namespace platform {

/// Sets errno from the reason the system gave for the call that just failed (Windows'
/// GetLastError; on POSIX errno already holds it and is left alone). A reason with no
/// errno counterpart sets 0, so a caller never reports a stale one.
void keep_system_error();

/// Keeps errno as it was at construction until the end of a scope, so that the
/// clean-up after a failure (a close, an unlink) cannot replace the reason of the
/// failure itself.
class SavedError {
  public:
    SavedError() : error_(errno) {}
    ~SavedError() { errno = error_; }
    SavedError(const SavedError &) = delete;
    SavedError &operator=(const SavedError &) = delete;

  private:
    int error_;
};

} // namespace platform

#endif
