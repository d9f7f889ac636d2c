// Directory enumeration over the Win32 find functions. FindFirstFileA lists "."
// and ".." like any other entry; a volume's file-system flags tell whether it
// searches names without regard to case.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/dir_enum.h"

#include <cstring>
#include <new>

namespace platform {

struct DirEnum {
    HANDLE handle;
    WIN32_FIND_DATAA data;
};

namespace {

// `path` followed by "\\*" in `pattern` (MAX_PATH bytes); false when it does not fit.
bool search_pattern(const char *path, char (&pattern)[MAX_PATH]) {
    const std::size_t length = std::strlen(path);
    const bool ends_in_separator =
        length > 0 && (path[length - 1] == '\\' || path[length - 1] == '/');
    const std::size_t needed = length + (ends_in_separator ? 1 : 2) + 1;
    if (needed > sizeof pattern) {
        return false;
    }
    std::memcpy(pattern, path, length);
    std::size_t end = length;
    if (!ends_in_separator) {
        pattern[end++] = '\\';
    }
    pattern[end++] = '*';
    pattern[end] = '\0';
    return true;
}

} // namespace

DirEnum *dir_enum_first(const char *path, const char **name) {
    char pattern[MAX_PATH];
    if (path == nullptr || name == nullptr || !search_pattern(path, pattern)) {
        return nullptr;
    }
    auto *search = new (std::nothrow) DirEnum{};
    if (search == nullptr) {
        return nullptr;
    }
    search->handle = FindFirstFileA(pattern, &search->data);
    if (search->handle == INVALID_HANDLE_VALUE) {
        delete search;
        return nullptr;
    }
    *name = search->data.cFileName;
    return search;
}

const char *dir_enum_next(DirEnum *search) {
    if (search == nullptr || !FindNextFileA(search->handle, &search->data)) {
        return nullptr;
    }
    return search->data.cFileName;
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
    if (path == nullptr || std::strlen(path) >= MAX_PATH) {
        return false;
    }
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// GetFullPathNameA returns the length without the terminator when the result fits,
// else the size it would need (terminator included), so a result >= size never fit.
bool dir_enum_full_path(const char *path, char *buffer, std::size_t size) {
    if (path == nullptr || buffer == nullptr || size == 0 || size > MAX_PATH) {
        return false;
    }
    const DWORD length = GetFullPathNameA(path, static_cast<DWORD>(size), buffer, nullptr);
    return length != 0 && length < size;
}

// GetVolumeInformationA wants a root with its trailing backslash ("C:\\"); the scan
// hands over "C:". A root it does not know (such as a bare "\\\\") gives false.
bool dir_enum_ignores_case(const char *root) {
    char with_separator[MAX_PATH];
    const std::size_t length = root != nullptr ? std::strlen(root) : 0;
    if (length == 0 || length + 2 > sizeof with_separator) {
        return false;
    }
    std::memcpy(with_separator, root, length + 1);
    if (root[length - 1] != '\\') {
        with_separator[length] = '\\';
        with_separator[length + 1] = '\0';
    }
    DWORD flags = 0;
    if (!GetVolumeInformationA(with_separator, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0)) {
        return false;
    }
    return (flags & FILE_CASE_SENSITIVE_SEARCH) == 0;
}

} // namespace platform
