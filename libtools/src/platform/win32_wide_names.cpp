// SPDX-License-Identifier: MIT
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/wide_names.h"

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

namespace {

std::wstring extended_form(std::wstring wide) {
    for (wchar_t &c : wide) {
        c = c == L'/' ? L'\\' : c; // the extended form takes no other separator
    }
    if (wide.size() > 2 && wide[1] == L':' && wide[2] == L'\\') {
        return L"\\\\?\\" + wide;
    }
    const bool device_form =
        wide.compare(0, 4, L"\\\\?\\") == 0 || wide.compare(0, 4, L"\\\\.\\") == 0;
    if (wide.compare(0, 2, L"\\\\") == 0 && !device_form) {
        return L"\\\\?\\UNC\\" + wide.substr(2);
    }
    return wide;
}

} // namespace

std::wstring system_path_of(const std::string &path, bool extended) {
    std::wstring wide = wide_of(path.c_str());
    if (wide.size() < MAX_PATH && !extended) {
        return wide;
    }
    try {
        return extended_form(std::move(wide));
    } catch (const std::bad_alloc &) {
        return std::wstring(); // names no file, so the call fails cleanly
    }
}

} // namespace platform
