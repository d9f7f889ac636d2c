// SPDX-License-Identifier: MIT
// A file's record on Windows: the named stream ":joint2si" of an NTFS file. The
// stream is opened through the file's path, so each operation first checks with the
// file's own handle that its volume keeps named streams (a volume that does not may
// take "name:joint2si" for a file of its own: Wine's volumes do) and then that the
// stream it opened belongs to that very file. A replacement's mark is the stream
// ":joint2si.replacement", handled the same way.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/file_record.h"
#include "platform/wide_names.h"

#include <cerrno>
#include <io.h>

namespace platform {

namespace {

constexpr char kStreamName[] = ":joint2si";
constexpr wchar_t kWideStreamName[] = L":joint2si";
constexpr char kMarkStreamName[] = ":joint2si.replacement";
constexpr wchar_t kWideMarkStreamName[] = L":joint2si.replacement";

HANDLE handle_cast(long long handle) {
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(handle));
}

bool keeps_streams(HANDLE file) {
    DWORD flags = 0;
    return GetVolumeInformationByHandleW(file, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) !=
               0 &&
           (flags & FILE_NAMED_STREAMS) != 0;
}

bool same_file(HANDLE one, HANDLE other) {
    BY_HANDLE_FILE_INFORMATION first{};
    BY_HANDLE_FILE_INFORMATION second{};
    return GetFileInformationByHandle(one, &first) && GetFileInformationByHandle(other, &second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

// Opens the record stream of the file `file` (whose path is `path`) with `access`;
// INVALID_HANDLE_VALUE with the system's error when it cannot, and with
// ERROR_FILE_INVALID when the name led to another file.
HANDLE open_stream(HANDLE file, const std::string &path, const wchar_t *stream_name, DWORD access,
                   DWORD disposition) {
    const std::wstring base = system_path_of(path, true);
    if (base.empty()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
    const HANDLE stream = CreateFileW((base + stream_name).c_str(), access,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (stream != INVALID_HANDLE_VALUE && !same_file(stream, file)) {
        CloseHandle(stream);
        SetLastError(ERROR_FILE_INVALID);
        return INVALID_HANDLE_VALUE;
    }
    return stream;
}

bool read_all(HANDLE stream, std::string *record) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(stream, &size) || size.QuadPart < 0 ||
        static_cast<unsigned long long>(size.QuadPart) > kMaxRecordSize) {
        return false;
    }
    record->assign(static_cast<std::size_t>(size.QuadPart), '\0');
    std::size_t at = 0;
    while (at < record->size()) {
        DWORD got = 0;
        if (!ReadFile(stream, &(*record)[at], static_cast<DWORD>(record->size() - at), &got,
                      nullptr) ||
            got == 0) {
            return false;
        }
        at += got;
    }
    return true;
}

bool write_all(HANDLE stream, const std::string &record) {
    const LARGE_INTEGER start{};
    if (!SetFilePointerEx(stream, start, nullptr, FILE_BEGIN) || !SetEndOfFile(stream)) {
        return false;
    }
    std::size_t at = 0;
    while (at < record.size()) {
        DWORD written = 0;
        if (!WriteFile(stream, record.data() + at, static_cast<DWORD>(record.size() - at), &written,
                       nullptr) ||
            written == 0) {
            return false;
        }
        at += written;
    }
    return FlushFileBuffers(stream) != 0;
}

RecordResult read_stream(long long handle, const std::string &path, const wchar_t *name,
                         std::string *record) {
    record->clear();
    RecordResult injected = RecordResult::failed;
    if (injected_record_result(false, &injected)) {
        return injected;
    }
    const HANDLE file = handle_cast(handle);
    if (!keeps_streams(file)) {
        return RecordResult::unsupported;
    }
    const HANDLE stream = open_stream(file, path, name, GENERIC_READ, OPEN_EXISTING);
    if (stream == INVALID_HANDLE_VALUE) {
        return GetLastError() == ERROR_FILE_NOT_FOUND ? RecordResult::none : RecordResult::failed;
    }
    const bool read = read_all(stream, record);
    CloseHandle(stream);
    if (!read) {
        record->clear();
    }
    return read ? RecordResult::found : RecordResult::failed;
}

RecordResult write_stream(long long handle, const std::string &path, const wchar_t *name,
                          const std::string &record) {
    RecordResult injected = RecordResult::failed;
    if (injected_record_result(true, &injected)) {
        return injected;
    }
    const HANDLE file = handle_cast(handle);
    if (!keeps_streams(file)) {
        return RecordResult::unsupported;
    }
    const HANDLE stream = open_stream(file, path, name, GENERIC_WRITE, OPEN_ALWAYS);
    if (stream == INVALID_HANDLE_VALUE) {
        return RecordResult::failed;
    }
    const bool written = write_all(stream, record);
    return CloseHandle(stream) && written ? RecordResult::found : RecordResult::failed;
}

// The stream is removed through its own handle, so only a stream of this file goes.
RecordResult remove_stream(long long handle, const std::string &path, const wchar_t *name) {
    RecordResult injected = RecordResult::failed;
    if (injected_record_result(false, &injected)) {
        return injected;
    }
    const HANDLE file = handle_cast(handle);
    if (!keeps_streams(file)) {
        return RecordResult::unsupported;
    }
    const HANDLE stream = open_stream(file, path, name, DELETE, OPEN_EXISTING);
    if (stream == INVALID_HANDLE_VALUE) {
        return GetLastError() == ERROR_FILE_NOT_FOUND ? RecordResult::found : RecordResult::failed;
    }
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    const bool removed =
        SetFileInformationByHandle(stream, FileDispositionInfo, &disposition, sizeof disposition);
    return CloseHandle(stream) && removed ? RecordResult::found : RecordResult::failed;
}

} // namespace

const char *record_name() {
    return kStreamName;
}

const char *mark_name() {
    return kMarkStreamName;
}

RecordResult read_record(long long handle, const std::string &path, std::string *record) {
    return read_stream(handle, path, kWideStreamName, record);
}

RecordResult write_record(long long handle, const std::string &path, const std::string &record) {
    return write_stream(handle, path, kWideStreamName, record);
}

RecordResult remove_record(long long handle, const std::string &path) {
    return remove_stream(handle, path, kWideStreamName);
}

RecordResult read_mark(long long handle, const std::string &path, std::string *mark) {
    return read_stream(handle, path, kWideMarkStreamName, mark);
}

// The stream is flushed as it is written (write_all), so a mark is always durable.
RecordResult write_mark(long long handle, const std::string &path, const std::string &mark, bool) {
    return write_stream(handle, path, kWideMarkStreamName, mark);
}

RecordResult remove_mark(long long handle, const std::string &path) {
    return remove_stream(handle, path, kWideMarkStreamName);
}

long long open_mark_handle(const std::string &path) {
    const HANDLE file = CreateFileW(system_path_of(path).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return -1;
    }
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof tag) ||
        (tag.FileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        CloseHandle(file); // a link or a directory is no file of ours
        return -1;
    }
    return static_cast<long long>(reinterpret_cast<intptr_t>(file));
}

// Windows names a file as it creates it: the mark follows at once, and a run killed in
// between leaves a file no sweep removes.
long long create_marked(const std::string &directory, const std::string &name,
                        const std::string &mark, bool *locked) {
    *locked = false;
    const std::string separator = !directory.empty() && directory.back() == '\\' ? "" : "\\";
    const std::string path = directory + separator + name;
    const HANDLE file = CreateFileW(system_path_of(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        errno = GetLastError() == ERROR_FILE_EXISTS ? EEXIST : EACCES;
        return -1;
    }
    const long long handle = static_cast<long long>(reinterpret_cast<intptr_t>(file));
    write_mark(handle, path, mark, true);
    return handle;
}

long long handle_of_stream(std::FILE *stream) {
    return static_cast<long long>(_get_osfhandle(_fileno(stream)));
}

long long open_record_handle(const std::string &path) {
    const HANDLE file = CreateFileW(system_path_of(path).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? -1
                                        : static_cast<long long>(reinterpret_cast<intptr_t>(file));
}

void close_record_handle(long long handle) {
    if (handle != -1) {
        CloseHandle(handle_cast(handle));
    }
}

} // namespace platform
