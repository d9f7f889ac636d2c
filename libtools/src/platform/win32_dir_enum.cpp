// SPDX-License-Identifier: MIT
// Directory enumeration over the Win32 find functions, wide ("W") forms: names are
// UTF-8 for the toolkit and UTF-16 for the system. FindFirstFileW lists "." and ".."
// like any other entry; a volume's file-system flags tell whether it searches names
// without regard to case. Paths reach the system as system_path_of forms them: a path
// that would reach MAX_PATH characters, and one written in the extended-length form
// ("\\\\?\\C:\\..."), go in that form, so directories of any length can be listed.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/dir_enum.h"
#include "platform/system_error.h"
#include "platform/wide_names.h"

#include <cerrno>
#include <cstring>
#include <new>

namespace platform {

struct DirEnum {
    HANDLE handle;
    WIN32_FIND_DATAW data;
    std::string name; // data.cFileName in UTF-8
};

namespace {

// The most characters of a path in the extended-length form.
constexpr std::size_t kLongestPath = 32767;

// `path` in the form the system's calls take with `room` characters more appended: the
// extended-length form when it would otherwise reach MAX_PATH. False for null, for text
// that is not valid UTF-8 and for a path, as written or in that form, too long for it.
bool wide_path(const char *path, std::wstring *wide, std::size_t room = 0) {
    if (path == nullptr || !to_wide(path, wide) || wide->empty() || wide->size() > kLongestPath) {
        return false;
    }
    *wide = system_path_of(path);
    if (!wide->empty() && wide->size() + room >= MAX_PATH) {
        *wide = system_path_of(path, true);
    }
    return !wide->empty() && wide->size() + room <= kLongestPath;
}

// `path` followed by "\\*" as a search pattern; false when it does not fit.
bool search_pattern(const char *path, std::wstring *pattern) {
    if (!wide_path(path, pattern, 2)) {
        return false;
    }
    const wchar_t last = pattern->back();
    try {
        pattern->append(last != L'\\' && last != L'/' ? L"\\*" : L"*");
    } catch (const std::bad_alloc &) {
        return false;
    }
    return true;
}

bool is_extended(const std::wstring &wide) {
    return wide.compare(0, 4, L"\\\\?\\") == 0;
}

// The current entry's name in UTF-8; entries whose names cannot be converted are passed
// over. Null when the listing ends.
const char *current_name(DirEnum *search) {
    while (!to_utf8(search->data.cFileName, &search->name)) {
        if (!FindNextFileW(search->handle, &search->data)) {
            return nullptr;
        }
    }
    return search->name.c_str();
}

} // namespace

DirEnum *dir_enum_first(const char *path, const char **name) {
    std::wstring pattern;
    if (name == nullptr || !search_pattern(path, &pattern)) {
        errno = name == nullptr ? EINVAL : 0; // too long, or not UTF-8
        return nullptr;
    }
    auto *search = new (std::nothrow) DirEnum{};
    if (search == nullptr) {
        errno = ENOMEM;
        return nullptr;
    }
    search->handle = FindFirstFileW(pattern.c_str(), &search->data);
    if (search->handle == INVALID_HANDLE_VALUE) {
        keep_system_error();
        delete search;
        return nullptr;
    }
    *name = current_name(search);
    if (*name == nullptr) {
        keep_system_error();
        const SavedError reason;
        dir_enum_close(search);
        return nullptr;
    }
    return search;
}

const char *dir_enum_next(DirEnum *search) {
    if (search == nullptr || !FindNextFileW(search->handle, &search->data)) {
        return nullptr;
    }
    return current_name(search);
}

bool dir_enum_close(DirEnum *search) {
    if (search == nullptr) {
        return true;
    }
    const bool closed = FindClose(search->handle) != 0;
    delete search;
    return closed;
}

bool dir_enum_is_directory(const char *path) {
    std::wstring wide;
    if (!wide_path(path, &wide)) {
        errno = path == nullptr ? EINVAL : 0; // too long, or not UTF-8
        return false;
    }
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        keep_system_error();
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

// A path in the extended-length form is absolute as written; else the system forms it.
bool dir_enum_full_path(const char *path, char *buffer, std::size_t size) {
    std::wstring wide;
    if (buffer == nullptr || size == 0 || !wide_path(path, &wide)) {
        return false;
    }
    std::string utf8;
    if (is_extended(wide)) {
        utf8 = utf8_of(wide.c_str());
    } else {
        utf8 = utf8_of(full_path_form(wide).c_str());
    }
    if (utf8.empty() || utf8.size() >= size) {
        return false;
    }
    std::memcpy(buffer, utf8.c_str(), utf8.size() + 1);
    return true;
}

// GetVolumeInformationW wants a root with its trailing backslash ("C:\\"); the scan
// hands over "C:". A root it does not know (such as a bare "\\\\") gives false.
bool dir_enum_ignores_case(const char *root) {
    std::wstring wide;
    if (!wide_path(root, &wide)) {
        return false;
    }
    try {
        if (wide.back() != L'\\') {
            wide.push_back(L'\\');
        }
    } catch (const std::bad_alloc &) {
        return false;
    }
    DWORD flags = 0;
    if (!GetVolumeInformationW(wide.c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0)) {
        return false;
    }
    return (flags & FILE_CASE_SENSITIVE_SEARCH) == 0;
}

} // namespace platform
