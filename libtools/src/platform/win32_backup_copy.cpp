// SPDX-License-Identifier: MIT
// Backups on Windows: the copy is created exclusively with CreateFileW (hidden while it
// has its temporary name), filled with ReadFile and WriteFile, given the source's times
// with SetFileTime and flushed; its attributes follow once it has its final name.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/backup_copy.h"
#include "platform/checked_open.h"
#include "platform/file_lock.h"
#include "platform/interrupt.h"
#include "platform/replace_shared.h"
#include "platform/system_error.h"
#include "platform/wide_names.h"

#include <cerrno>
#include <io.h>

namespace platform {

namespace {

constexpr int kCreateAttempts = 100;
constexpr DWORD kChunk = 1 << 16;

// Whether a Win32 call `succeeded`; when not, errno is set from its error.
bool succeeded(BOOL done) {
    if (done == 0) {
        keep_system_error();
    }
    return done != 0;
}

// A new file with a replacement file's name in `directory`, created exclusively (hidden
// while it has that name, and shareable for deletion so an interrupt can remove it while
// it is open) and locked; its handle, or INVALID_HANDLE_VALUE.
HANDLE create_exclusive(const std::string &directory, std::string *created) {
    const bool ends_in_separator =
        !directory.empty() && (directory.back() == '\\' || directory.back() == '/');
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        const std::string path =
            directory + (ends_in_separator ? "" : "\\") + replacement_name(ReplacementKind::rename);
        // Held from before the file exists until it is guarded.
        const InterruptHold hold;
        const HANDLE handle = CreateFileW(system_path_of(path).c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            *created = path;
            guard_temporary(path, GuardSlot::backup);
            if (lock_replacement_handle(reinterpret_cast<intptr_t>(handle), path)) {
                return handle;
            }
            keep_system_error();
            const SavedError reason;
            CloseHandle(handle);
            DeleteFileW(system_path_of(path).c_str());
            release_temporary(GuardSlot::backup);
            return INVALID_HANDLE_VALUE;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) {
            keep_system_error();
            return INVALID_HANDLE_VALUE;
        }
    }
    errno = EEXIST;
    return INVALID_HANDLE_VALUE;
}

bool copy_bytes(HANDLE from, HANDLE to) {
    static char buffer[kChunk];
    for (;;) {
        DWORD got = 0;
        if (!succeeded(ReadFile(from, buffer, kChunk, &got, nullptr))) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        DWORD written = 0;
        if (injected_failure(FileOperation::write) ||
            !succeeded(WriteFile(to, buffer, got, &written, nullptr))) {
            return false;
        }
        if (written != got) {
            errno = ENOSPC;
            return false;
        }
    }
}

// Removes the unfinished copy `created` and ends its guard.
void discard(const std::string &created) {
    const SavedError reason;
    DeleteFileW(system_path_of(created).c_str());
    release_temporary(GuardSlot::backup);
}

bool copy_times(HANDLE from, HANDLE to) {
    FILETIME created{};
    FILETIME accessed{};
    FILETIME written{};
    return succeeded(GetFileTime(from, &created, &accessed, &written)) &&
           succeeded(SetFileTime(to, &created, &accessed, &written));
}

} // namespace

bool copy_to_new_file(const std::string &source, const TargetFacts &facts,
                      const std::string &directory, std::string *created, long long *held_lock) {
    *held_lock = -1; // the lock ends with the handle
    // The name may lead elsewhere since its facts were taken: copy only that file.
    OpenCheck check = OpenCheck::opened;
    const int descriptor = open_checked(source, false, &facts.identity, &check);
    if (descriptor < 0) {
        return false;
    }
    const HANDLE from = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    const HANDLE to = create_exclusive(directory, created);
    const bool copied = to != INVALID_HANDLE_VALUE && copy_bytes(from, to) &&
                        copy_times(from, to) && !injected_failure(FileOperation::sync) &&
                        succeeded(FlushFileBuffers(to));
    {
        const SavedError reason;
        close_descriptor(descriptor); // and with it `from`
    }
    if (to == INVALID_HANDLE_VALUE) {
        return false;
    }
    if (!copied) {
        const SavedError reason;
        CloseHandle(to);
        discard(*created);
        return false;
    }
    if (!succeeded(CloseHandle(to)) || injected_failure(FileOperation::close)) {
        discard(*created);
        return false;
    }
    return true;
}

bool set_permissions(const std::string &path, const TargetFacts &facts) {
    return succeeded(SetFileAttributesW(system_path_of(path).c_str(), facts.permissions != 0
                                                                          ? facts.permissions
                                                                          : FILE_ATTRIBUTE_NORMAL));
}

} // namespace platform
