// SPDX-License-Identifier: MIT
// The wide command line converted once to UTF-8, and console output that shows names
// beyond the code page: wide text to a console window, the console's code page else.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <shellapi.h>

#include "platform/console.h"
#include "platform/wide_names.h"

#include <fcntl.h>
#include <io.h>

#include <new>
#include <string>
#include <vector>

namespace platform {

namespace {

// The converted arguments and the vector handed out; they live until the process ends.
std::vector<std::string> argument_texts;
std::vector<char *> argument_vector;

bool convert_arguments(wchar_t **wide, int count) {
    argument_texts.resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        if (!to_utf8(wide[i], &argument_texts[static_cast<std::size_t>(i)])) {
            return false;
        }
    }
    argument_vector.clear();
    for (std::string &text : argument_texts) {
        argument_vector.push_back(&text[0]);
    }
    argument_vector.push_back(nullptr);
    return true;
}

// The console window `stream` writes to, or null when it is redirected.
HANDLE console_of(std::FILE *stream) {
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) ? handle : nullptr;
}

// `wide` in the console's output code page (the system's ANSI code page without a
// console); characters it lacks become "?".
std::string in_console_code_page(const std::wstring &wide) {
    UINT code_page = GetConsoleOutputCP();
    code_page = code_page != 0 ? code_page : GetACP();
    const int needed =
        WideCharToMultiByte(code_page, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string text(needed > 0 ? static_cast<std::size_t>(needed) : 1, '\0');
    if (needed > 0) {
        WideCharToMultiByte(code_page, 0, wide.c_str(), -1, &text[0], needed, nullptr, nullptr);
    }
    text.resize(text.size() - 1);
    return text;
}

} // namespace

const char *system_line_end() {
    return "\r\n";
}

bool set_binary_mode(std::FILE *stream) {
    return _setmode(_fileno(stream), _O_BINARY) != -1;
}

bool utf8_arguments(int *argc, char ***argv) {
    int count = 0;
    wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return false;
    }
    bool converted = false;
    try {
        converted = convert_arguments(wide, count);
    } catch (const std::bad_alloc &) {
        converted = false;
    }
    LocalFree(wide);
    if (converted) {
        *argc = count;
        *argv = argument_vector.data();
    }
    return converted;
}

bool write_console_text(const char *text, std::FILE *stream) {
    std::wstring wide;
    if (text == nullptr || stream == nullptr || !to_wide(text, &wide)) {
        return text != nullptr && stream != nullptr && std::fputs(text, stream) >= 0;
    }
    try {
        const HANDLE console = console_of(stream);
        if (console != nullptr) {
            std::fflush(stream);
            DWORD written = 0;
            return WriteConsoleW(console, wide.c_str(), static_cast<DWORD>(wide.size()), &written,
                                 nullptr) != 0;
        }
        return std::fputs(in_console_code_page(wide).c_str(), stream) >= 0;
    } catch (const std::bad_alloc &) {
        return std::fputs(text, stream) >= 0;
    }
}

} // namespace platform
