// SPDX-License-Identifier: MIT
// What shows that a file's content was changed: its size and the times the system
// keeps of its last change, read through an open handle. A file held open while it
// is rewritten is asked twice, when it is locked and right before its new content
// takes its place, so that a write by a program that takes no lock is never lost.
#ifndef LIBTOOLS_PLATFORM_FILE_STATE_H
#define LIBTOOLS_PLATFORM_FILE_STATE_H

namespace platform {

struct FileState {
    unsigned long long size = 0;
    long long modified = 0; // last change of the content, in the system's finest unit
    long long changed = 0;  // last change of the content or the file's facts (POSIX
                            // st_ctim, Windows ChangeTime); 0 where the system has none
};

/// The state of the file open as the system's handle `handle` (a descriptor on POSIX, a
/// HANDLE on Windows); false when the system cannot tell.
bool state_of_handle(long long handle, FileState *state);

} // namespace platform

#endif
