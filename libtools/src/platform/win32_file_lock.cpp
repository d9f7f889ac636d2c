// SPDX-License-Identifier: MIT
// Locks on Windows are mandatory for the bytes they cover, so the lock covers one
// byte far beyond the end of any file: processes of the toolkit that ask for it
// wait for each other, while reading and writing the content stay free.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX 1
#include <windows.h>

#include "platform/commit_gate.h"
#include "platform/file_lock.h"
#include "platform/replace.h"
#include "platform/system_error.h"
#include "platform/wide_names.h"

#include <cerrno>
#include <io.h>

namespace platform {

namespace {

constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;
constexpr DWORD kLockOffsetLow = 0xFFFFFFF0;

HANDLE as_handle(long long handle) {
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(handle));
}

bool lock_handle(HANDLE handle, bool wait) {
    OVERLAPPED region{};
    region.Offset = kLockOffsetLow;
    region.OffsetHigh = kLockOffsetHigh;
    const DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
    return LockFileEx(handle, flags, 0, 1, 0, &region) != 0;
}

bool identity_of(HANDLE handle, FileIdentity *identity) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(handle, &information)) {
        return false;
    }
    identity->device = information.dwVolumeSerialNumber;
    identity->index = (static_cast<unsigned long long>(information.nFileIndexHigh) << 32) |
                      information.nFileIndexLow;
    return true;
}

HANDLE open_shared(const std::string &path) {
    return CreateFileW(system_path_of(path).c_str(), GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

LockResult lock_once(const std::string &path, LockedTarget *target, bool wait, bool *retry) {
    // A directory does not open without FILE_FLAG_BACKUP_SEMANTICS: cannot_open.
    const HANDLE handle = open_shared(path);
    if (handle == INVALID_HANDLE_VALUE) {
        keep_system_error();
        const DWORD attributes = GetFileAttributesW(system_path_of(path).c_str());
        if (errno == EACCES && attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            errno = EISDIR;
        }
        return LockResult::cannot_open;
    }
    FileIdentity held;
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return LockResult::not_regular; // a device such as NUL or CON
    }
    if (!identity_of(handle, &held) || !lock_handle(handle, wait)) {
        const bool busy = !wait && GetLastError() == ERROR_LOCK_VIOLATION;
        keep_system_error();
        if (busy) {
            CloseHandle(handle);
            return LockResult::busy;
        }
        const SavedError reason;
        CloseHandle(handle);
        return LockResult::cannot_open;
    }
    if (commit_gate_closed(held)) {
        // Another run is putting its new text in this file's place, which needs the file
        // closed by every process: the lock goes at once, and the name is opened again
        // once that run is done.
        CloseHandle(handle);
        if (!wait) {
            return LockResult::busy;
        }
        wait_for_commit_gate(held);
        *retry = true;
        errno = 0;
        return LockResult::cannot_open;
    }
    TargetFacts named;
    if (!target_facts(path, &named) || named.identity.device != held.device ||
        named.identity.index != held.index) {
        *retry = true;
        errno = 0; // the name led elsewhere once: no system error
        CloseHandle(handle);
        return LockResult::cannot_open;
    }
    target->handle = static_cast<long long>(reinterpret_cast<intptr_t>(handle));
    target->identity = held;
    return LockResult::locked;
}

void unlock_target(LockedTarget *target) {
    if (target->handle != -1) {
        CloseHandle(as_handle(target->handle)); // releases the lock
    }
    target->handle = -1;
}

bool lock_replacement(std::FILE *stream, const std::string &path) {
    return lock_replacement_handle(static_cast<long long>(_get_osfhandle(_fileno(stream))), path);
}

bool lock_replacement_handle(long long handle, const std::string &) {
    return as_handle(handle) != INVALID_HANDLE_VALUE && lock_handle(as_handle(handle), true);
}

long long hold_replacement_lock(std::FILE *) {
    return -1;
}

long long hold_replacement_handle_lock(long long) {
    return -1;
}

void drop_replacement_lock(long long) {}

LeftoverState check_leftover(const std::string &path, bool remove) {
    const HANDLE handle = CreateFileW(system_path_of(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return LeftoverState::in_use;
    }
    LeftoverState state = LeftoverState::in_use;
    if (GetFileType(handle) == FILE_TYPE_DISK && lock_handle(handle, false)) {
        state = LeftoverState::abandoned;
        // The file goes once this handle closes; it was opened to allow that.
        if (remove && DeleteFileW(system_path_of(path).c_str())) {
            state = LeftoverState::removed;
        }
    }
    CloseHandle(handle);
    return state;
}

} // namespace platform
