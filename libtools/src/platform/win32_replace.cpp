// SPDX-License-Identifier: MIT
// The safe replacement on Windows: the replacement is created exclusively with
// CreateFileW (hidden, and shareable for deletion so an interrupt can remove it
// while it is open), written through a binary C stream, given the target's access
// control list, creation time and named streams (win32_kept_attributes.cpp) and its
// attributes, and renamed over the target in one step, written through. The rename
// never leaves the name missing: the old file is replaced, not moved aside first (as
// ReplaceFileW may do, and may fail after). Paths of any length are named in the
// extended-length form.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/commit_gate.h"
#include "platform/file_lock.h"
#include "platform/replace.h"
#include "platform/replace_shared.h"
#include "platform/system_error.h"
#include "platform/wide_names.h"
#include "platform/win32_owned_handle.h"

#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <cstring>
#include <vector>

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
    return CreateFileW(system_path_of(path).c_str(), 0,
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
        // Its access control list becomes the target's before it is renamed (WRITE_DAC).
        const HANDLE handle = CreateFileW(system_path_of(path).c_str(), GENERIC_WRITE | WRITE_DAC,
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

namespace {

// The path the system gives the open file, links resolved; empty when it gives none.
std::wstring final_path_of(HANDLE handle) {
    std::wstring buffer(MAX_PATH + 8, L'\0'); // room for the "\\\\?\\UNC\\" prefix
    DWORD length = GetFinalPathNameByHandleW(handle, &buffer[0], static_cast<DWORD>(buffer.size()),
                                             FILE_NAME_NORMALIZED);
    if (length >= buffer.size()) { // a longer path: the size it needs
        buffer.assign(length + 1, L'\0');
        length = GetFinalPathNameByHandleW(handle, &buffer[0], static_cast<DWORD>(buffer.size()),
                                           FILE_NAME_NORMALIZED);
    }
    if (length == 0 || length >= buffer.size()) {
        keep_system_error();
        return std::wstring();
    }
    buffer.resize(length);
    return buffer;
}

// Where the system cannot give the final path of a long one (Wine's GetFinalPathNameByHandleW
// stops at MAX_PATH): the absolute form of `path` itself, when its last part is no link,
// so that the replacement is made beside the file and never replaces a link. The
// directory part may hold links: a rename in a linked directory happens in its target.
std::wstring full_path_of_file(const std::string &path) {
    const std::wstring extended = system_path_of(path, true);
    const DWORD attributes = GetFileAttributesW(extended.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return std::wstring();
    }
    return extended;
}

} // namespace

bool resolve_final_path(const std::string &path, std::string *resolved) {
    std::wstring final_path;
    bool too_long = false;
    {
        const OwnedHandle handle(open_for_query(path));
        if (!handle.valid()) {
            return system_failure();
        }
        final_path = final_path_of(handle.get());
        too_long = final_path.empty() && (GetLastError() == ERROR_MORE_DATA ||
                                          GetLastError() == ERROR_NOT_ENOUGH_MEMORY ||
                                          GetLastError() == ERROR_INSUFFICIENT_BUFFER);
    }
    if (too_long) {
        final_path = full_path_of_file(path);
        errno = final_path.empty() ? ENAMETOOLONG : errno;
    }
    if (final_path.empty()) {
        return false;
    }
    // The usual form, of any length: the platform layer names long paths in the
    // extended form itself (system_path_of).
    std::string final_utf8;
    if (!to_utf8(without_long_path_prefix(final_path).c_str(), &final_utf8)) {
        return false;
    }
    *resolved = final_utf8;
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

// FILE_RENAME_INFO with room for a name: the flags word (FileRenameInfoEx) shares its
// place with the ReplaceIfExists byte (FileRenameInfo).
struct RenameRequest {
    DWORD flags;
    HANDLE root;
    DWORD name_bytes;
    wchar_t name[1];
};

// FileRenameInfoEx of FILE_INFO_BY_HANDLE_CLASS (Windows 10 1607), which headers for
// older systems lack.
constexpr auto kFileRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
constexpr DWORD kRenameReplaceIfExists = 0x1; // FILE_RENAME_FLAG_REPLACE_IF_EXISTS
constexpr DWORD kRenamePosixSemantics = 0x2;  // FILE_RENAME_FLAG_POSIX_SEMANTICS

// Cleared once FileRenameInfoEx proved missing (systems before Windows 10 1607, Wine),
// so that later moves go straight to MoveFileExW.
std::atomic<bool> rename_ex_available{true};

// Renames the file open as `file` to `to` (in the extended form), replacing a file of
// that name in one step: the name never goes missing, whatever ends the process. With
// POSIX semantics the old file may still be open elsewhere with delete sharing (as the
// tool's own lock holds it). False, with the system's error, when it failed; `missing`
// is set when the call itself does not exist here.
bool rename_by_handle(HANDLE file, const std::wstring &to, bool *missing) {
    const std::size_t name_bytes = to.size() * sizeof(wchar_t);
    std::vector<char> storage(sizeof(RenameRequest) + name_bytes);
    auto *request = reinterpret_cast<RenameRequest *>(storage.data());
    request->flags = kRenameReplaceIfExists | kRenamePosixSemantics;
    request->root = nullptr;
    request->name_bytes = static_cast<DWORD>(name_bytes);
    std::memcpy(request->name, to.c_str(), name_bytes); // the terminator is not counted
    if (SetFileInformationByHandle(file, kFileRenameInfoEx, request,
                                   static_cast<DWORD>(storage.size()))) {
        return true;
    }
    const DWORD error = GetLastError();
    *missing = error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED ||
               error == ERROR_CALL_NOT_IMPLEMENTED || error == ERROR_INVALID_FUNCTION;
    SetLastError(error);
    return false;
}

// One attempt to rename `from` over `to`, both in the extended form, written through:
// by handle with FileRenameInfoEx where the system has it, else with MoveFileExW, which
// replaces in one step too but is refused while the old file is open anywhere.
bool rename_once(const std::wstring &from, const std::wstring &to) {
    if (rename_ex_available.load()) {
        const HANDLE file = CreateFileW(from.c_str(), DELETE | SYNCHRONIZE | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return false;
        }
        bool missing = false;
        const bool renamed = rename_by_handle(file, to, &missing);
        // The new directory entry goes to disk with the file's metadata.
        const bool flushed = !renamed || FlushFileBuffers(file) != 0;
        const DWORD error = GetLastError();
        CloseHandle(file);
        SetLastError(error);
        if (!missing) {
            return renamed && flushed;
        }
        rename_ex_available = false;
    }
    return MoveFileExW(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// Puts the replacement in the target's place. A file that another program holds
// open for a moment (an indexer, a virus scanner) refuses with a sharing violation;
// the replacement is tried again a few times before it counts as refused. With
// `lock_released` the other runs that held the file open are letting go of it (see
// commit_gate.h), and the refusal of a file still open is tried again as well.
bool move_over(const std::string &replacement, const std::string &target, bool lock_released) {
    const int attempts = lock_released ? 25 : 5;
    const DWORD pause_milliseconds = lock_released ? 20 : 100;
    const std::wstring from = system_path_of(replacement, true);
    const std::wstring to = system_path_of(target, true);
    if (from.empty() || to.empty()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    for (int attempt = 1;; ++attempt) {
        if (rename_once(from, to)) {
            return true;
        }
        const DWORD error = GetLastError();
        const bool transient = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
                               (lock_released && error == ERROR_ACCESS_DENIED);
        if (!transient || attempt == attempts) {
            SetLastError(error);
            return false;
        }
        Sleep(pause_milliseconds);
    }
}

// Whether a failed move leaves the content to be copied in place instead: the target is
// in use or protected.
bool refused_move(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ||
           error == ERROR_LOCK_VIOLATION;
}

// The replacement takes the target's attributes, which also ends its being hidden (a
// target that does not exist yet gives none). A read-only target (an old backup)
// refuses to be replaced, so its read-only attribute is lifted for the move and given
// to the replacement afterwards, as a rename does on POSIX systems. A target in use by
// another program refuses the move.
RenameResult replace_with(const std::string &replacement, const std::string &target,
                          bool lock_released) {
    const DWORD target_attributes = GetFileAttributesW(system_path_of(target).c_str());
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
        SetFileAttributesW(system_path_of(target).c_str(),
                           target_attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    if (!move_over(replacement, target, lock_released)) {
        const DWORD error = GetLastError();
        keep_system_error();
        const SavedError reason;
        if (read_only) {
            SetFileAttributesW(system_path_of(target).c_str(), target_attributes);
        }
        SetFileAttributesW(system_path_of(replacement).c_str(), FILE_ATTRIBUTE_HIDDEN);
        return refused_move(error) ? RenameResult::refused : RenameResult::failed;
    }
    if (read_only) {
        SetFileAttributesW(system_path_of(target).c_str(), kept);
    }
    return RenameResult::done;
}

bool identity_of(long long handle, FileIdentity *identity) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(reinterpret_cast<HANDLE>(static_cast<intptr_t>(handle)),
                                    &information)) {
        return false;
    }
    identity->device = information.dwVolumeSerialNumber;
    identity->index = (static_cast<unsigned long long>(information.nFileIndexHigh) << 32) |
                      information.nFileIndexLow;
    return true;
}

} // namespace

RenameResult replace_atomically(const std::string &replacement, const std::string &target) {
    if (injected_failure(FileOperation::rename)) {
        return RenameResult::failed;
    }
    return replace_with(replacement, target, false);
}

// The rename by handle with POSIX semantics replaces a file that is open with delete
// sharing, as the lock's handle is: the lock stays held. Without it the lock's own
// handle makes the system refuse, so the lock goes for the rename, behind the file's
// commit gate, and comes back when the rename is still refused (another program holds
// the file open): the content is then copied in place under it.
RenameResult replace_locked(const std::string &replacement, const std::string &target,
                            long long *lock, bool) {
    const RenameResult first = replace_atomically(replacement, target);
    FileIdentity identity;
    if (first != RenameResult::refused || rename_ex_available.load() || *lock < 0 ||
        !identity_of(*lock, &identity)) {
        return first;
    }
    const CommitGate gate(identity);
    if (!gate.held()) {
        return first;
    }
    LockedTarget held;
    held.handle = *lock;
    unlock_target(&held);
    *lock = -1;
    const RenameResult renamed = replace_with(replacement, target, true);
    if (renamed == RenameResult::done) {
        // Held again, now on the new file, until the caller lets go of it as it would
        // of the old one: runs waiting for the gate then wait for this lock. Only when it
        // can be had at once: this run still holds the old file's gate, and a run that
        // took the new file meanwhile may wait for a gate of the same name, the system
        // having given the old file's number to its own new file; each would then wait
        // for the other. The caller does without the lock when it is not held.
        LockedTarget again;
        if (lock_target(target, &again, false) == LockResult::locked) {
            *lock = again.handle;
        }
        return renamed;
    }
    const SavedError reason;
    LockedTarget again;
    if (lock_target(target, &again, true) != LockResult::locked ||
        again.identity.device != identity.device || again.identity.index != identity.index) {
        unlock_target(&again);
        return RenameResult::failed; // another run replaced the file meanwhile
    }
    *lock = again.handle;
    return renamed;
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

// Gives a target that grows its final size before its first byte is overwritten:
// extending the end of a file allocates its space, so a full disk is met now, while
// the file still holds its old content. One that shrinks is cut after the copy (its
// old bytes stay whole until then). False, with the target's size as it was, when
// that failed.
bool set_final_size(HANDLE file, long long new_size) {
    LARGE_INTEGER old_size{};
    if (injected_failure(FileOperation::resize)) {
        return false;
    }
    if (!GetFileSizeEx(file, &old_size)) {
        return system_failure();
    }
    if (new_size <= old_size.QuadPart) {
        return true;
    }
    // Asks for the space in one step where the file system supports it.
    FILE_ALLOCATION_INFO allocation{};
    allocation.AllocationSize.QuadPart = new_size;
    SetFileInformationByHandle(file, FileAllocationInfo, &allocation, sizeof allocation);
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
