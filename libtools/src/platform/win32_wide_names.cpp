// SPDX-License-Identifier: MIT
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/wide_names.h"

#include <cwchar>
#include <new>
#include <utility>

namespace platform {

bool to_wide(const char *utf8, std::wstring *wide) {
    wide->clear();
    if (utf8 == nullptr) {
        return false;
    }
    try {
        const int needed = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, nullptr, 0);
        if (needed <= 0) {
            return false;
        }
        wide->resize(static_cast<std::size_t>(needed));
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, &(*wide)[0], needed);
        wide->resize(static_cast<std::size_t>(needed - 1)); // the terminator is implied
        return true;
    } catch (const std::bad_alloc &) {
        wide->clear();
        return false;
    }
}

bool to_utf8(const wchar_t *wide, std::string *utf8) {
    utf8->clear();
    if (wide == nullptr) {
        return false;
    }
    try {
        const int needed = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, -1, nullptr, 0,
                                               nullptr, nullptr);
        if (needed <= 0) {
            return false;
        }
        utf8->resize(static_cast<std::size_t>(needed));
        WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, -1, &(*utf8)[0], needed, nullptr,
                            nullptr);
        utf8->resize(static_cast<std::size_t>(needed - 1));
        return true;
    } catch (const std::bad_alloc &) {
        utf8->clear();
        return false;
    }
}

std::string utf8_of(const wchar_t *wide) {
    std::string utf8;
    to_utf8(wide, &utf8);
    return utf8;
}

std::wstring wide_of(const char *utf8) {
    std::wstring wide;
    to_wide(utf8, &wide);
    return wide;
}

std::wstring full_path_form(const std::wstring &wide) {
    const DWORD size = wide.empty() ? 0 : GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0) {
        return std::wstring();
    }
    try {
        std::wstring full(size, L'\0');
        const DWORD length = GetFullPathNameW(wide.c_str(), size, &full[0], nullptr);
        if (length == 0 || length >= size) {
            return std::wstring();
        }
        full.resize(length);
        return full;
    } catch (const std::bad_alloc &) {
        return std::wstring();
    }
}

namespace {

bool has_prefix(const std::wstring &text, const wchar_t *prefix) {
    return text.compare(0, std::wcslen(prefix), prefix) == 0;
}

// Paths the system takes as they are: the extended-length form ("\\\\?\\..."), the
// device form ("\\\\.\\...") and the object manager's ("\\??\\...").
bool is_verbatim(const std::wstring &wide) {
    return has_prefix(wide, L"\\\\?\\") || has_prefix(wide, L"\\\\.\\") ||
           has_prefix(wide, L"\\??\\");
}

// `full`, an absolute path, in the extended-length form.
std::wstring extended_form(const std::wstring &full) {
    if (full.size() > 2 && full[1] == L':' && full[2] == L'\\') {
        return L"\\\\?\\" + full;
    }
    if (has_prefix(full, L"\\\\")) {
        return L"\\\\?\\UNC\\" + full.substr(2);
    }
    return full;
}

// An extended-length path with its "." parts dropped: the system takes every part of
// such a path as a name, and no file is named "."; the toolkit names a directory by its
// path followed by "." ("C:\\data\\.").
std::wstring without_dot_parts(std::wstring wide) {
    std::size_t at = 4;
    while ((at = wide.find(L"\\.", at)) != std::wstring::npos) {
        if (at + 2 == wide.size() && wide[at - 1] == L':') {
            wide.erase(at + 1, 1); // "\\\\?\\C:\\." is the root, "\\\\?\\C:\\"
        } else if (at + 2 == wide.size() || wide[at + 2] == L'\\') {
            wide.erase(at, 2);
        } else {
            ++at;
        }
    }
    return wide;
}

} // namespace

std::wstring system_path_of(const std::string &path, bool extended) {
    std::wstring wide = wide_of(path.c_str());
    if (has_prefix(wide, L"\\\\?\\")) {
        try {
            return without_dot_parts(std::move(wide));
        } catch (const std::bad_alloc &) {
            return std::wstring();
        }
    }
    if (is_verbatim(wide) || (wide.size() < MAX_PATH && !extended)) {
        return wide;
    }
    try {
        // The extended form is taken as it is written, so it is made from the path the
        // system would make of `wide` itself.
        const std::wstring full = full_path_form(wide);
        return full.empty() ? wide : extended_form(full);
    } catch (const std::bad_alloc &) {
        return std::wstring(); // names no file, so the call fails cleanly
    }
}

} // namespace platform
