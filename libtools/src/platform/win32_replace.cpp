// SPDX-License-Identifier: MIT
// The safe replacement on Windows: the replacement is created exclusively with
// CreateFileW (hidden, and shareable for deletion so an interrupt can remove it
// while it is open), written through a binary C stream, and put in the target's
// place with ReplaceFileW, which replaces in one step on the same volume and keeps
// the target's access control list, attributes and creation time. A target whose
// path fits MAX_PATH always gets its replacement beside it: the replacement's path,
// which may be longer, is named in the extended-length form.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/file_lock.h"
#include "platform/replace.h"
#include "platform/replace_shared.h"
#include "platform/system_error.h"
#include "platform/wide_names.h"

#include <fcntl.h>
#include <io.h>

namespace platform {

namespace {

constexpr int kCreateAttempts = 100;

// Attributes a replacement takes over from its target when it is moved in place.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// False, with errno set from the Win32 error of the call that just failed.
bool system_failure() {
    keep_system_error();
    return false;
}

bool is_separator(char c) {
    return c == '\\' || c == '/';
}

std::size_t last_separator(const std::string &path) {
    return path.find_last_of("\\/");
}

// Opens an existing file or directory for reading its facts, links followed.
HANDLE open_for_query(const std::string &path) {
    if (path.size() >= MAX_PATH) {
        errno = ENAMETOOLONG;
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileW(wide_of(path.c_str()).c_str(), 0,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// GetFinalPathNameByHandleW names the file as "\\\\?\\C:\\..." or
// "\\\\?\\UNC\\server\\share\\..."; the usual forms are "C:\\..." and "\\\\server\\...".
std::wstring without_long_path_prefix(const std::wstring &path) {
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
        return L"\\\\" + path.substr(8);
    }
    if (path.compare(0, 4, L"\\\\?\\") == 0) {
        return path.substr(4);
    }
    return path;
}

// Creates a new file no other process created; its handle or INVALID_HANDLE_VALUE.
// Beside a target whose path nearly fills MAX_PATH the new path may pass it, so it is
// named in the extended-length form.
HANDLE create_exclusive(const std::string &directory, ReplacementKind kind, std::string *created) {
    const std::string separator = !directory.empty() && is_separator(directory.back()) ? "" : "\\";
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        std::string path = directory + separator + replacement_name(kind);
        const HANDLE handle = CreateFileW(system_path_of(path).c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            created->swap(path); // cannot fail: the file exists now and must be named
            return handle;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) {
            keep_system_error();
            return INVALID_HANDLE_VALUE;
        }
    }
    errno = EEXIST;
    return INVALID_HANDLE_VALUE;
}

// A binary C stream over the handle (it then owns the handle): the caller writes the
// line ends it wants. Null on failure, with the handle closed.
std::FILE *text_stream(HANDLE handle) {
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        const SavedError reason;
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE *stream = _fdopen(fd, "wb");
    if (stream == nullptr) {
        const SavedError reason;
        _close(fd);
    }
    return stream;
}

} // namespace

bool resolve_final_path(const std::string &path, std::string *resolved) {
    const HANDLE handle = open_for_query(path);
    if (handle == INVALID_HANDLE_VALUE) {
        return system_failure();
    }
    wchar_t buffer[MAX_PATH + 8]; // room for the "\\\\?\\UNC\\" prefix
    const DWORD length =
        GetFinalPathNameByHandleW(handle, buffer, MAX_PATH + 8, FILE_NAME_NORMALIZED);
    if (length == 0) {
        keep_system_error();
    } else if (length >= MAX_PATH + 8) {
        errno = ENAMETOOLONG;
    }
    {
        const SavedError reason;
        CloseHandle(handle);
    }
    if (length == 0 || length >= MAX_PATH + 8) {
        return false;
    }
    const std::wstring wide_final = without_long_path_prefix(std::wstring(buffer, length));
    std::string final_path;
    if (wide_final.size() >= MAX_PATH || !to_utf8(wide_final.c_str(), &final_path)) {
        return false;
    }
    *resolved = final_path;
    return true;
}

bool target_facts(const std::string &path, TargetFacts *facts) {
    const HANDLE handle = open_for_query(path);
    if (handle == INVALID_HANDLE_VALUE) {
        return system_failure();
    }
    BY_HANDLE_FILE_INFORMATION information{};
    const bool known = GetFileInformationByHandle(handle, &information) != 0;
    if (!known) {
        keep_system_error();
    }
    {
        const SavedError reason;
        CloseHandle(handle);
    }
    if (!known) {
        return false;
    }
    facts->identity.device = information.dwVolumeSerialNumber;
    facts->identity.index = (static_cast<unsigned long long>(information.nFileIndexHigh) << 32) |
                            information.nFileIndexLow;
    facts->permissions = information.dwFileAttributes & kKeptAttributes;
    facts->several_links = information.nNumberOfLinks > 1;
    return true;
}

// The replacement stays hidden until it is moved over the target; it inherits the
// directory's access rules, as the target normally does, so `kept_owner` is true.
std::FILE *create_replacement(const std::string &directory, ReplacementKind kind,
                              const TargetFacts &, std::string *created, bool *kept_owner) {
    const HANDLE handle = create_exclusive(directory, kind, created);
    if (handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    *kept_owner = true;
    std::FILE *stream = text_stream(handle);
    if (stream != nullptr && !lock_replacement(stream, *created)) {
        keep_system_error();
        const SavedError reason;
        std::fclose(stream);
        stream = nullptr;
    }
    if (stream == nullptr) {
        const SavedError reason;
        DeleteFileW(system_path_of(*created).c_str());
    }
    return stream;
}

// ReplaceFileA keeps the target's access control list and attributes itself.
bool copy_attributes(long long, std::FILE *) {
    return true;
}

std::string temporary_directory() {
    wchar_t buffer[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    std::string directory;
    if (length == 0 || length >= MAX_PATH + 1 || !to_utf8(buffer, &directory)) {
        return ".";
    }
    if (directory.size() > 3 && is_separator(directory.back())) {
        directory.pop_back();
    }
    return directory;
}

// "C:\\file" lies in "C:\\", not in "C:" (which means the current directory of C:).
std::string directory_of(const std::string &path) {
    const std::size_t separator = last_separator(path);
    if (separator == std::string::npos) {
        return ".";
    }
    const bool at_root = separator == 0 || (separator == 2 && path[1] == ':');
    return path.substr(0, at_root ? separator + 1 : separator);
}

std::string name_of(const std::string &path) {
    const std::size_t separator = last_separator(path);
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

bool flush_and_sync(std::FILE *stream) {
    if (std::fflush(stream) != 0 || injected_failure(FileOperation::sync)) {
        return false;
    }
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    return handle != INVALID_HANDLE_VALUE && (FlushFileBuffers(handle) != 0 || system_failure());
}

namespace {

// Puts the replacement in the target's place. A file that another program holds
// open for a moment (an indexer, a virus scanner) refuses with a sharing violation;
// the replacement is tried again a few times before it counts as refused.
bool move_over(const std::string &replacement, const std::string &target) {
    constexpr int kAttempts = 5;
    constexpr DWORD kPauseMilliseconds = 100;
    // With a replacement named in the extended-length form the target is named so too:
    // the move may make files of its own beside the target, whose paths then fit.
    const std::wstring from = system_path_of(replacement);
    const std::wstring to = system_path_of(target, from.compare(0, 4, L"\\\\?\\") == 0);
    for (int attempt = 1;; ++attempt) {
        if (ReplaceFileW(to.c_str(), from.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                         nullptr, nullptr)) {
            return true;
        }
        const DWORD error = GetLastError();
        const bool transient = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
        if (!transient || attempt == kAttempts) {
            SetLastError(error);
            return false;
        }
        Sleep(kPauseMilliseconds);
    }
}

// Whether a failed move leaves the content to be copied in place instead: the target is
// in use or protected, or (some implementations of ReplaceFileW make a scratch file of
// their own beside the target, named within MAX_PATH) the system cannot name a file
// beside a target near that limit.
bool refused_move(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ||
           error == ERROR_LOCK_VIOLATION || error == ERROR_UNABLE_TO_REMOVE_REPLACED ||
           error == ERROR_INVALID_NAME || error == ERROR_FILENAME_EXCED_RANGE;
}

// Gives the replacement the name `target`, which no file has yet (ReplaceFileW needs
// an existing file to replace). Should another file take the name meanwhile, it is
// replaced, as a rename does on POSIX systems.
RenameResult move_to_new_name(const std::string &replacement, const std::string &target) {
    const std::wstring from = system_path_of(replacement);
    if (!SetFileAttributesW(from.c_str(), FILE_ATTRIBUTE_NORMAL)) {
        keep_system_error();
        return RenameResult::failed;
    }
    if (MoveFileExW(from.c_str(), system_path_of(target).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return RenameResult::done;
    }
    const DWORD error = GetLastError();
    keep_system_error();
    const SavedError reason;
    SetFileAttributesW(from.c_str(), FILE_ATTRIBUTE_HIDDEN);
    return refused_move(error) ? RenameResult::refused : RenameResult::failed;
}

// The replacement takes the target's attributes, which also ends its being hidden.
// A read-only target refuses to be replaced, so its read-only attribute is lifted
// for the move and given to the replacement afterwards, as a rename does on POSIX
// systems. A target in use by another program refuses the move.
RenameResult replace_existing(const std::string &replacement, const std::string &target,
                              DWORD target_attributes) {
    const DWORD kept =
        target_attributes == INVALID_FILE_ATTRIBUTES ? 0 : target_attributes & kKeptAttributes;
    const DWORD writable = kept & ~FILE_ATTRIBUTE_READONLY;
    if (!SetFileAttributesW(system_path_of(replacement).c_str(),
                            writable != 0 ? writable : FILE_ATTRIBUTE_NORMAL)) {
        keep_system_error();
        return RenameResult::failed;
    }
    const bool read_only = (kept & FILE_ATTRIBUTE_READONLY) != 0;
    if (read_only) {
        SetFileAttributesW(wide_of(target.c_str()).c_str(),
                           target_attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    if (!move_over(replacement, target)) {
        const DWORD error = GetLastError();
        keep_system_error();
        const SavedError reason;
        if (read_only) {
            SetFileAttributesW(wide_of(target.c_str()).c_str(), target_attributes);
        }
        SetFileAttributesW(system_path_of(replacement).c_str(), FILE_ATTRIBUTE_HIDDEN);
        return refused_move(error) ? RenameResult::refused : RenameResult::failed;
    }
    if (read_only) {
        SetFileAttributesW(wide_of(target.c_str()).c_str(), kept);
    }
    return RenameResult::done;
}

bool is_absolute(const std::string &path) {
    return (path.size() > 2 && path[1] == ':' && is_separator(path[2])) ||
           (path.size() > 1 && is_separator(path[0]) && is_separator(path[1]));
}

// The absolute form of `path` (an absolute path is kept as it is, whatever its length);
// false when it cannot be formed.
bool full_path_of(const std::string &path, std::string *full) {
    if (is_absolute(path)) {
        *full = path;
        return true;
    }
    const std::wstring wide = wide_of(path.c_str());
    const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0) {
        return false;
    }
    std::wstring buffer(size, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), size, &buffer[0], nullptr);
    return length != 0 && length < size && to_utf8(buffer.c_str(), full);
}

} // namespace

// ReplaceFileW refuses relative names (ERROR_DIRECTORY), so a relative name is made
// absolute first. A target that does not exist yet is simply given its name.
RenameResult replace_atomically(const std::string &replacement, const std::string &target) {
    if (injected_failure(FileOperation::rename)) {
        return RenameResult::failed;
    }
    std::string full_replacement;
    std::string full_target;
    if (!full_path_of(replacement, &full_replacement) || !full_path_of(target, &full_target)) {
        keep_system_error();
        return RenameResult::failed;
    }
    const DWORD target_attributes = GetFileAttributesW(system_path_of(full_target).c_str());
    if (target_attributes == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_FILE_NOT_FOUND) {
        return move_to_new_name(full_replacement, full_target);
    }
    return replace_existing(full_replacement, full_target, target_attributes);
}

bool remove_file(const std::string &path) {
    return DeleteFileW(system_path_of(path).c_str()) != 0;
}

} // namespace platform

namespace platform {

namespace {

constexpr DWORD kCopyChunk = 1 << 16;

// Writes the whole chunk; false on any short or failed write.
bool write_chunk(HANDLE to, const char *data, DWORD size) {
    if (injected_failure(FileOperation::write)) {
        return false;
    }
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(to, data, size, &written, nullptr)) {
            return system_failure();
        }
        if (written == 0) {
            errno = ENOSPC;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// Copies every byte of `from` to the start of `to`; returns the count, or -1.
long long copy_bytes(HANDLE from, HANDLE to) {
    static char buffer[kCopyChunk];
    long long total = 0;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(from, buffer, sizeof buffer, &got, nullptr)) {
            keep_system_error();
            return -1;
        }
        if (got == 0) {
            return total;
        }
        if (!write_chunk(to, buffer, got)) {
            return -1;
        }
        total += got;
    }
}

// Cuts the file at `size` bytes.
bool truncate_at(HANDLE file, long long size) {
    LARGE_INTEGER end{};
    end.QuadPart = size;
    return (SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file)) ||
           system_failure();
}

// Opens the replacement file or its resolved target; the former may pass MAX_PATH.
HANDLE open_existing(const std::string &path, DWORD access) {
    return CreateFileW(system_path_of(path).c_str(), access,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Gives the target its final size before its first byte is overwritten: extending the
// end of a file allocates its space, so a full disk is met now. False, with the
// target's size as it was, when that failed.
bool set_final_size(HANDLE file, long long new_size) {
    LARGE_INTEGER old_size{};
    if (injected_failure(FileOperation::resize)) {
        return false;
    }
    if (!GetFileSizeEx(file, &old_size)) {
        return system_failure();
    }
    if (new_size > old_size.QuadPart) {
        // Asks for the space in one step where the file system supports it.
        FILE_ALLOCATION_INFO allocation{};
        allocation.AllocationSize.QuadPart = new_size;
        SetFileInformationByHandle(file, FileAllocationInfo, &allocation, sizeof allocation);
    }
    if (truncate_at(file, new_size)) {
        return true;
    }
    const SavedError reason;
    truncate_at(file, old_size.QuadPart);
    return false;
}

bool same_identity(HANDLE file, const FileIdentity &identity) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file, &information)) {
        return system_failure();
    }
    const unsigned long long index =
        (static_cast<unsigned long long>(information.nFileIndexHigh) << 32) |
        information.nFileIndexLow;
    errno = 0; // another file has the name now: no system error
    return information.dwVolumeSerialNumber == identity.device && index == identity.index;
}

// The copy itself: size, bytes, sync. `from` and `to` are open.
CopyResult copy_open(HANDLE from, HANDLE to, const FileIdentity &identity) {
    LARGE_INTEGER source_size{};
    const LARGE_INTEGER start{};
    if (!same_identity(to, identity) || !(GetFileSizeEx(from, &source_size) || system_failure()) ||
        !set_final_size(to, source_size.QuadPart) ||
        !(SetFilePointerEx(to, start, nullptr, FILE_BEGIN) || system_failure())) {
        return CopyResult::unchanged;
    }
    const long long total = copy_bytes(from, to);
    bool copied = total == source_size.QuadPart && truncate_at(to, total);
    copied = copied && !injected_failure(FileOperation::sync) &&
             (FlushFileBuffers(to) != 0 || system_failure());
    return copied ? CopyResult::done : CopyResult::torn;
}

} // namespace

CopyResult copy_over(const std::string &source, const std::string &target,
                     const FileIdentity &identity) {
    const HANDLE from = open_existing(source, GENERIC_READ);
    if (from == INVALID_HANDLE_VALUE) {
        keep_system_error();
        return CopyResult::unchanged;
    }
    const HANDLE to = open_existing(target, GENERIC_WRITE | GENERIC_READ);
    if (to == INVALID_HANDLE_VALUE) {
        keep_system_error();
        const SavedError reason;
        CloseHandle(from);
        return CopyResult::unchanged;
    }
    const CopyResult result = copy_open(from, to, identity);
    if (result != CopyResult::done) {
        const SavedError reason; // the copy's, not the closes'
        CloseHandle(from);
        CloseHandle(to);
        return result;
    }
    CloseHandle(from);
    const bool closed =
        (CloseHandle(to) != 0 || system_failure()) && !injected_failure(FileOperation::close);
    return closed ? result : CopyResult::torn;
}

} // namespace platform
