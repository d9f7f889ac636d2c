// SPDX-License-Identifier: MIT
// Directory handles over CreateFileW and the find functions, wide ("W") forms, on
// absolute paths in the extended-length form ("\\\\?\\C:\\..."), so no MAX_PATH limit
// applies. A directory is held open without delete sharing while it is walked, so it
// cannot be renamed or removed under the walk; a subdirectory is opened by its parent's
// path plus its name with FILE_FLAG_OPEN_REPARSE_POINT, and refused when it is a reparse
// point (a symbolic link, a junction, a mount point) instead of being entered.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/dir_enum.h"
#include "platform/dir_handle.h"
#include "platform/system_error.h"
#include "platform/wide_names.h"

#include <cerrno>
#include <cwchar>
#include <new>
#include <utility>

namespace platform {

struct DirHandle {
    HANDLE handle;     // INVALID_HANDLE_VALUE while released
    std::wstring path; // absolute, extended-length form
    DWORD flags;       // of its open: whether a reparse point was followed
    DirIdentity identity;
    bool ignores_case;
};

namespace {

constexpr DWORD kDirectoryAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr DWORD kNoFollow = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;

DirIdentity identity_of(const BY_HANDLE_FILE_INFORMATION &information) {
    DirIdentity identity;
    identity.device = information.dwVolumeSerialNumber;
    identity.index = (static_cast<unsigned long long>(information.nFileIndexHigh) << 32) |
                     information.nFileIndexLow;
    return identity;
}

// Opens the directory `path` (`flags` say whether a reparse point is followed) for
// listing, its facts in `*information`; INVALID_HANDLE_VALUE with errno when it cannot
// be opened or is no directory (ELOOP for a reparse point not followed).
HANDLE open_directory(const std::wstring &path, DWORD flags,
                      BY_HANDLE_FILE_INFORMATION *information) {
    HANDLE handle = CreateFileW(path.c_str(), kDirectoryAccess, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        keep_system_error();
        return handle;
    }
    int refused = 0;
    if (!GetFileInformationByHandle(handle, information)) {
        keep_system_error();
        refused = errno;
    } else if ((information->dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        refused = ELOOP;
    } else if ((information->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        refused = ENOTDIR;
    }
    if (refused != 0) {
        CloseHandle(handle);
        errno = refused;
        return INVALID_HANDLE_VALUE;
    }
    return handle;
}

// `path` joined with `name`; false when `name` is not valid UTF-8 or memory runs out.
bool child_path(const std::wstring &path, const char *name, std::wstring *joined) {
    std::wstring wide;
    if (name == nullptr || !to_wide(name, &wide)) {
        return false;
    }
    try {
        *joined = path;
        if (joined->empty() || joined->back() != L'\\') {
            joined->push_back(L'\\');
        }
        joined->append(wide);
        return true;
    } catch (const std::bad_alloc &) {
        return false;
    }
}

// The absolute form of `path`; empty when it cannot be formed.
std::wstring full_path_of(const char *path) {
    std::wstring wide;
    if (!to_wide(path, &wide) || wide.empty()) {
        return std::wstring();
    }
    return full_path_form(wide);
}

// Whether the volume `full` (an absolute path) lies on searches names without regard to
// case, asked as the directory scan asks it: of the drive ("C:", also when written
// "\\\\?\\C:"), else of no volume.
bool volume_ignores_case(const std::wstring &full) {
    const std::size_t drive = full.compare(0, 4, L"\\\\?\\") == 0 ? 4 : 0;
    if (full.size() < drive + 2 || full[drive + 1] != L':') {
        return false;
    }
    const std::string root = utf8_of(full.substr(drive, 2).c_str());
    return dir_enum_ignores_case(root.c_str());
}

DirHandle *new_handle(HANDLE handle, std::wstring path, DWORD flags,
                      const BY_HANDLE_FILE_INFORMATION &info, bool ignores_case) {
    auto *dir = new (std::nothrow)
        DirHandle{handle, std::move(path), flags, identity_of(info), ignores_case};
    if (dir == nullptr) {
        CloseHandle(handle);
        errno = ENOMEM;
    }
    return dir;
}

// The path the system gives the open `handle` now (extended-length form); empty when
// it cannot be had.
std::wstring final_path_of(HANDLE handle) {
    try {
        std::wstring path(MAX_PATH, L'\0');
        const DWORD flags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
        DWORD length =
            GetFinalPathNameByHandleW(handle, &path[0], static_cast<DWORD>(path.size()), flags);
        if (length >= path.size()) {
            path.assign(length + 1, L'\0');
            length =
                GetFinalPathNameByHandleW(handle, &path[0], static_cast<DWORD>(path.size()), flags);
        }
        if (length == 0 || length >= path.size()) {
            return std::wstring();
        }
        path.resize(length);
        return path;
    } catch (const std::bad_alloc &) {
        return std::wstring();
    }
}

// The directory that holds `path` now: the parent of its current path, as ".." is on
// POSIX, with the root keeping its backslash; the path it was opened by when the system
// gives none.
std::wstring parent_path_of(const DirHandle &child) {
    std::wstring path = final_path_of(child.handle);
    if (path.empty()) {
        path = child.path;
    }
    const std::size_t cut = path.find_last_of(L'\\');
    if (cut == std::wstring::npos) {
        return std::wstring();
    }
    const bool root = cut > 0 && path[cut - 1] == L':';
    try {
        return path.substr(0, root ? cut + 1 : cut);
    } catch (const std::bad_alloc &) {
        return std::wstring();
    }
}

bool is_dot_entry(const wchar_t *name) {
    return std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0;
}

EntryKind kind_of(DWORD attributes) {
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return EntryKind::link;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::directory : EntryKind::other;
}

// The facts of the entry `path`, the reparse point itself unless `follow`; false with
// errno when it cannot be opened.
bool entry_facts(const std::wstring &path, bool follow, BY_HANDLE_FILE_INFORMATION *information) {
    const DWORD flags = follow ? FILE_FLAG_BACKUP_SEMANTICS : kNoFollow;
    HANDLE handle = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        keep_system_error();
        return false;
    }
    const bool known = GetFileInformationByHandle(handle, information) != 0;
    if (!known) {
        keep_system_error();
    }
    const SavedError reason;
    CloseHandle(handle);
    return known;
}

} // namespace

DirHandle *dir_handle_open(const char *path) {
    const std::wstring full = full_path_of(path);
    if (full.empty()) {
        errno = path == nullptr ? EINVAL : ENOENT;
        return nullptr;
    }
    std::wstring extended = system_path_of(utf8_of(full.c_str()), true);
    BY_HANDLE_FILE_INFORMATION information{};
    HANDLE handle = extended.empty()
                        ? INVALID_HANDLE_VALUE
                        : open_directory(extended, FILE_FLAG_BACKUP_SEMANTICS, &information);
    if (handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    return new_handle(handle, std::move(extended), FILE_FLAG_BACKUP_SEMANTICS, information,
                      volume_ignores_case(full));
}

DirHandle *dir_handle_open_below(DirHandle *parent, const char *name) {
    std::wstring path;
    if (parent == nullptr || parent->handle == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return nullptr;
    }
    if (!child_path(parent->path, name, &path)) {
        errno = ENOENT; // no entry of the directory has a name that is not UTF-8
        return nullptr;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    HANDLE handle = open_directory(path, kNoFollow, &information);
    if (handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    return new_handle(handle, std::move(path), kNoFollow, information, parent->ignores_case);
}

DirIdentity dir_handle_identity(const DirHandle *dir) {
    return dir != nullptr ? dir->identity : DirIdentity{};
}

bool dir_handle_read(DirHandle *dir, std::vector<DirEntryName> *entries) {
    std::wstring pattern;
    if (dir == nullptr || dir->handle == INVALID_HANDLE_VALUE ||
        !child_path(dir->path, "*", &pattern)) {
        errno = EBADF;
        return false;
    }
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(pattern.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) {
        keep_system_error();
        return false;
    }
    const std::size_t before = entries->size();
    std::string name;
    try {
        do {
            if (!is_dot_entry(data.cFileName) && to_utf8(data.cFileName, &name)) {
                entries->push_back(DirEntryName{name, kind_of(data.dwFileAttributes)});
            }
        } while (FindNextFileW(search, &data));
    } catch (...) {
        FindClose(search);
        entries->resize(before);
        throw;
    }
    const bool complete = GetLastError() == ERROR_NO_MORE_FILES;
    if (!complete) {
        keep_system_error();
        entries->resize(before);
    }
    const SavedError reason;
    FindClose(search);
    return complete;
}

bool dir_handle_status(DirHandle *dir, const char *name, bool follow, bool *directory,
                       DirIdentity *identity) {
    std::wstring path;
    if (dir == nullptr || dir->handle == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return false;
    }
    if (!child_path(dir->path, name, &path)) {
        errno = ENOENT;
        return false;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!entry_facts(path, false, &information)) {
        return false;
    }
    const DWORD attributes = information.dwFileAttributes;
    const bool reparse = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    *directory = !reparse && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (follow && reparse && !entry_facts(path, true, &information)) {
        return false;
    }
    *identity = identity_of(information);
    return true;
}

void dir_handle_release(DirHandle *dir) {
    if (dir != nullptr && dir->handle != INVALID_HANDLE_VALUE) {
        CloseHandle(dir->handle);
        dir->handle = INVALID_HANDLE_VALUE;
    }
}

bool dir_handle_resume(DirHandle *dir, DirHandle *child) {
    if (dir == nullptr || child == nullptr) {
        errno = EBADF;
        return false;
    }
    if (dir->handle != INVALID_HANDLE_VALUE) {
        return true;
    }
    if (child->handle == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return false;
    }
    std::wstring path = parent_path_of(*child);
    BY_HANDLE_FILE_INFORMATION information{};
    HANDLE handle =
        path.empty() ? INVALID_HANDLE_VALUE : open_directory(path, dir->flags, &information);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = path.empty() ? ENOMEM : errno;
        return false;
    }
    const DirIdentity found = identity_of(information);
    if (found.device != dir->identity.device || found.index != dir->identity.index) {
        CloseHandle(handle);
        errno = 0;
        return false;
    }
    dir->handle = handle;
    dir->path = std::move(path); // where it is now, for the subdirectories still to open
    return true;
}

void dir_handle_close(DirHandle *dir) {
    if (dir != nullptr) {
        const SavedError reason;
        dir_handle_release(dir);
        delete dir;
    }
}

bool dir_handle_ignores_case(const DirHandle *dir) {
    return dir != nullptr && dir->ignores_case;
}

} // namespace platform
