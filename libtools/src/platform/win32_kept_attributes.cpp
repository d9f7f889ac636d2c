// SPDX-License-Identifier: MIT
// What a replacement takes over from its target on Windows before it is renamed over
// it, so that the rename loses nothing the old file had: its access control list, its
// creation time and its named streams. The file's record and the tool's mark on
// replacement files stay behind: they describe the old bytes and the old file. A
// volume that keeps no access lists or no named streams has none to copy.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/replace.h"
#include "platform/system_error.h"

#include <io.h>

#include <cwchar>
#include <string>
#include <vector>

namespace platform {

namespace {

// Streams that are the tool's own: the record (record_name in file_record.h) and the
// mark on replacement files.
constexpr const wchar_t *kOwnStreams[] = {L"joint2si", L"joint2si.replacement"};

// The calls below fail so on a volume or system without the facility.
bool unsupported(DWORD error) {
    return error == ERROR_NOT_SUPPORTED || error == ERROR_CALL_NOT_IMPLEMENTED ||
           error == ERROR_INVALID_FUNCTION || error == ERROR_INVALID_PARAMETER;
}

bool failure() {
    keep_system_error();
    return false;
}

// The access control list, with its protection from inheritance, as the target has it.
bool copy_access_list(HANDLE from, HANDLE to) {
    DWORD size = 0;
    GetKernelObjectSecurity(from, DACL_SECURITY_INFORMATION, nullptr, 0, &size);
    if (size == 0) {
        return unsupported(GetLastError()) || failure();
    }
    std::vector<char> descriptor(size);
    if (!GetKernelObjectSecurity(from, DACL_SECURITY_INFORMATION, descriptor.data(), size, &size)) {
        return unsupported(GetLastError()) || failure();
    }
    return SetKernelObjectSecurity(to, DACL_SECURITY_INFORMATION, descriptor.data()) != 0 ||
           unsupported(GetLastError()) || failure();
}

bool copy_creation_time(HANDLE from, HANDLE to) {
    FILETIME created{};
    return (GetFileTime(from, &created, nullptr, nullptr) &&
            SetFileTime(to, &created, nullptr, nullptr)) ||
           failure();
}

// The file's path in the extended form, for naming its streams; empty when unknown.
std::wstring path_of(HANDLE file) {
    std::wstring path(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(file, &path[0], static_cast<DWORD>(path.size()),
                                             FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length >= path.size()) {
        path.assign(length + 1, L'\0');
        length = GetFinalPathNameByHandleW(file, &path[0], static_cast<DWORD>(path.size()),
                                           FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    }
    path.resize(length < path.size() ? length : 0);
    return path;
}

bool has_named_streams(HANDLE file) {
    DWORD flags = 0;
    return GetVolumeInformationByHandleW(file, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
           (flags & FILE_NAMED_STREAMS) != 0;
}

// The name of a stream as FindNextStreamW gives it (":name:$DATA"), or empty for the
// file's unnamed stream and the tool's own.
std::wstring copied_stream(const wchar_t *listed) {
    std::wstring name = listed;
    const std::size_t type = name.rfind(L':');
    if (name.size() < 2 || name[0] != L':' || type == 0 || type == std::wstring::npos) {
        return std::wstring();
    }
    name = name.substr(1, type - 1);
    for (const wchar_t *own : kOwnStreams) {
        if (_wcsicmp(name.c_str(), own) == 0) {
            return std::wstring();
        }
    }
    return name;
}

bool copy_stream(const std::wstring &from, const std::wstring &to) {
    const HANDLE source =
        CreateFileW(from.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (source == INVALID_HANDLE_VALUE) {
        return failure();
    }
    const HANDLE target =
        CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    bool copied = target != INVALID_HANDLE_VALUE;
    char buffer[16384];
    for (DWORD got = 0; copied;) {
        DWORD written = 0;
        copied = ReadFile(source, buffer, sizeof buffer, &got, nullptr) != 0;
        if (!copied || got == 0) {
            break;
        }
        copied = WriteFile(target, buffer, got, &written, nullptr) != 0 && written == got;
    }
    if (!copied) {
        keep_system_error();
    }
    const SavedError reason;
    CloseHandle(source);
    if (target != INVALID_HANDLE_VALUE) {
        CloseHandle(target);
    }
    return copied;
}

bool copy_streams(HANDLE from, HANDLE to) {
    if (!has_named_streams(from)) {
        return true;
    }
    const std::wstring from_path = path_of(from);
    const std::wstring to_path = path_of(to);
    if (from_path.empty() || to_path.empty()) {
        return failure();
    }
    WIN32_FIND_STREAM_DATA stream{};
    const HANDLE search = FindFirstStreamW(from_path.c_str(), FindStreamInfoStandard, &stream, 0);
    if (search == INVALID_HANDLE_VALUE) {
        return GetLastError() == ERROR_HANDLE_EOF || unsupported(GetLastError()) || failure();
    }
    bool copied = true;
    do {
        const std::wstring name = copied_stream(stream.cStreamName);
        copied = name.empty() || copy_stream(from_path + L":" + name, to_path + L":" + name);
    } while (copied && FindNextStreamW(search, &stream));
    const bool ended = !copied || GetLastError() == ERROR_HANDLE_EOF || failure();
    const SavedError reason;
    FindClose(search);
    return copied && ended;
}

} // namespace

bool copy_attributes(long long from_handle, std::FILE *to) {
    const auto from = reinterpret_cast<HANDLE>(static_cast<intptr_t>(from_handle));
    const auto replacement = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(to)));
    if (from == INVALID_HANDLE_VALUE || replacement == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return false;
    }
    return copy_access_list(from, replacement) && copy_creation_time(from, replacement) &&
           copy_streams(from, replacement);
}

} // namespace platform
