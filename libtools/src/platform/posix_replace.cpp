// SPDX-License-Identifier: MIT
#include "platform/checked_open.h"
#include "platform/directory_sync.h"
#include "platform/file_lock.h"
#include "platform/file_record.h"
#include "platform/posix_file_state.h"
#include "platform/replace.h"
#include "platform/replace_shared.h"
#include "platform/system_error.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

constexpr int kCreateAttempts = 100;

// Gives the new file the target's owner and group when they differ from ours.
bool keep_owner(int fd, const TargetFacts &facts) {
    static const uid_t user = geteuid(); // the toolkit never changes its identities
    static const gid_t group = getegid();
    if (facts.owner == user && facts.group == group) {
        return true;
    }
    return fchown(fd, static_cast<uid_t>(facts.owner), static_cast<gid_t>(facts.group)) == 0;
}

// A new replacement file of `kind` in `directory`, carrying its mark from before any
// name leads to it (create_marked); its descriptor, or -1. `*locked` as create_marked's.
int create_exclusive(const std::string &directory, ReplacementKind kind, const TargetFacts &facts,
                     std::string *created, bool *locked) {
    const std::string separator = !directory.empty() && directory.back() == '/' ? "" : "/";
    const std::string mark = replacement_mark(MarkState::writing, facts.identity, "");
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        const std::string name = replacement_name(kind);
        std::string path = directory;
        path.append(separator).append(name);
        const long long fd = create_marked(directory, name, mark, locked);
        if (fd >= 0) {
            created->swap(path); // cannot fail: the file exists now and must be named
            return static_cast<int>(fd);
        }
        if (errno != EEXIST) {
            return -1;
        }
    }
    return -1; // errno EEXIST
}

} // namespace

bool resolve_final_path(const std::string &path, std::string *resolved) {
    char *real = realpath(path.c_str(), nullptr);
    if (real == nullptr) {
        return false;
    }
    try {
        *resolved = real;
    } catch (...) {
        std::free(real);
        throw;
    }
    std::free(real);
    return true;
}

bool target_facts(const std::string &path, TargetFacts *facts) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        return false;
    }
    facts->identity.device = static_cast<unsigned long long>(status.st_dev);
    facts->identity.index = static_cast<unsigned long long>(status.st_ino);
    facts->permissions = static_cast<unsigned>(status.st_mode) & 07777u;
    facts->several_links = status.st_nlink > 1;
    facts->owner = status.st_uid;
    facts->group = status.st_gid;
    facts->state = state_of_status(status);
    facts->state_known = true;
    return true;
}

// A new replacement file, open and locked; null when it could not be made or another
// run removed it as abandoned before its lock was taken (`lost` then set).
std::FILE *create_locked(const std::string &directory, ReplacementKind kind,
                         const TargetFacts &facts, std::string *created, bool *kept_owner,
                         bool *lost) {
    bool locked = false;
    const int fd = create_exclusive(directory, kind, facts, created, &locked);
    if (fd < 0) {
        return nullptr;
    }
    *kept_owner = keep_owner(fd, facts);
    std::FILE *stream = nullptr;
    if (fchmod(fd, static_cast<mode_t>(facts.permissions)) == 0) {
        stream = fdopen(fd, "w");
    }
    if (stream != nullptr && !locked && !lock_replacement(stream, *created)) {
        *lost = true;
        std::fclose(stream);
        return nullptr; // not ours to remove any more
    }
    if (stream == nullptr) {
        const SavedError reason;
        close(fd);
        unlink(created->c_str());
    }
    return stream;
}

std::FILE *create_replacement(const std::string &directory, ReplacementKind kind,
                              const TargetFacts &facts, std::string *created, bool *kept_owner) {
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        bool lost = false;
        std::FILE *stream = create_locked(directory, kind, facts, created, kept_owner, &lost);
        if (!lost) {
            return stream;
        }
    }
    return nullptr;
}

namespace {

// The names of the extended attributes of `fd`, each ending in a zero byte; false when
// they cannot be listed. A file system without extended attributes lists none.
bool attribute_names(int fd, std::string *names) {
    for (;;) {
        const ssize_t size = flistxattr(fd, nullptr, 0);
        if (size < 0) {
            return errno == ENOTSUP;
        }
        names->assign(static_cast<std::size_t>(size), '\0');
        const ssize_t got = size > 0 ? flistxattr(fd, &(*names)[0], names->size()) : 0;
        if (got >= 0) {
            names->resize(static_cast<std::size_t>(got));
            return true;
        }
        if (errno != ERANGE) { // ERANGE: an attribute was added meanwhile
            return false;
        }
    }
}

bool attribute_value(int fd, const char *name, std::string *value) {
    for (;;) {
        const ssize_t size = fgetxattr(fd, name, nullptr, 0);
        if (size < 0) {
            return false;
        }
        value->assign(static_cast<std::size_t>(size), '\0');
        const ssize_t got = size > 0 ? fgetxattr(fd, name, &(*value)[0], value->size()) : 0;
        if (got >= 0) {
            value->resize(static_cast<std::size_t>(got));
            return true;
        }
        if (errno != ERANGE) {
            return false;
        }
    }
}

// Gives `to` the attribute `name` of `from`. An attribute the file system sets itself
// (a security label) counts as copied when the new file already has the same value.
bool copy_attribute(int from, int to, const char *name) {
    std::string value;
    if (!attribute_value(from, name, &value)) {
        return errno == ENODATA; // removed meanwhile
    }
    if (fsetxattr(to, name, value.data(), value.size(), 0) == 0) {
        return true;
    }
    std::string present;
    return attribute_value(to, name, &present) && present == value;
}

} // namespace

bool copy_attributes(long long from_handle, std::FILE *to) {
    const int from = static_cast<int>(from_handle);
    std::string names;
    if (std::fflush(to) != 0 || !attribute_names(from, &names)) {
        return false;
    }
    for (std::size_t at = 0; at < names.size(); at += std::strlen(&names[at]) + 1) {
        // The record describes the old bytes: the new ones get their own at commit. A
        // mark (left by a run killed right after its rename) is the replacement's own.
        if (std::strcmp(&names[at], record_name()) == 0 ||
            std::strcmp(&names[at], mark_name()) == 0) {
            continue;
        }
        if (!copy_attribute(from, fileno(to), &names[at])) {
            return false;
        }
    }
    return true;
}

std::string temporary_directory() {
    const char *tmpdir = std::getenv("TMPDIR");
    return tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
}

std::string directory_of(const std::string &path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string name_of(const std::string &path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool flush_and_sync(std::FILE *stream) {
    if (std::fflush(stream) != 0 || injected_failure(FileOperation::sync)) {
        return false;
    }
    return fsync(fileno(stream)) == 0;
}

RenameResult replace_atomically(const std::string &replacement, const std::string &target) {
    if (injected_failure(FileOperation::rename)) {
        return RenameResult::failed;
    }
    if (rename(replacement.c_str(), target.c_str()) != 0) {
        return errno == EPERM || errno == EACCES ? RenameResult::refused : RenameResult::failed;
    }
    // The rename itself is durable only once the directory entry is on disk; a file
    // renamed here (a backup) is in place whether or not that sync succeeds.
    const SavedError reason;
    sync_directory(directory_of(target));
    return RenameResult::done;
}

bool remove_file(const std::string &path) {
    return unlink(path.c_str()) == 0;
}

} // namespace platform

namespace platform {

namespace {

constexpr std::size_t kCopyChunk = 1 << 16;

// Writes the whole chunk to the descriptor; false on any short or failed write.
bool write_chunk(int fd, const char *data, std::size_t size) {
    if (injected_failure(FileOperation::write)) {
        return false;
    }
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// Copies every byte of `from` to the start of `to`; returns the count, or -1.
long long copy_bytes(int from, int to) {
    static char buffer[kCopyChunk];
    long long total = 0;
    for (;;) {
        const ssize_t got = read(from, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return -1;
        }
        if (got == 0) {
            return total;
        }
        if (!write_chunk(to, buffer, static_cast<std::size_t>(got))) {
            return -1;
        }
        total += got;
    }
}

} // namespace

namespace {

// Gives the target its final size before its first byte is overwritten: space for a
// longer content is reserved (so a full disk is met now), a shorter one is cut to
// size. False, with the target as it was, when that failed.
bool set_final_size(int fd, off_t old_size, off_t new_size) {
    if (injected_failure(FileOperation::resize)) {
        return false;
    }
    if (new_size <= old_size) {
        return ftruncate(fd, new_size) == 0;
    }
    const int error = posix_fallocate(fd, 0, new_size);
    if (error == 0) {
        return true;
    }
    // A file system that cannot reserve space is filled and checked as it goes.
    if (error == EOPNOTSUPP || error == EINVAL) {
        return true;
    }
    // Space reserved before the failure lies past the old end and holds no content.
    // The truncation is attempted for its effect alone; the result is failure either way.
    errno = error;
    const SavedError reason;
    if (ftruncate(fd, old_size) != 0) {
        // Nothing further to undo: the reason saved above is the one reported.
    }
    return false;
}

bool same_identity(int fd, const FileIdentity &identity, off_t *size) {
    struct stat status {};
    if (fstat(fd, &status) != 0) {
        return false;
    }
    *size = status.st_size;
    return static_cast<unsigned long long>(status.st_dev) == identity.device &&
           static_cast<unsigned long long>(status.st_ino) == identity.index;
}

// The copy itself: size, bytes, sync. `from` and `to` are open.
CopyResult copy_open(int from, int to, const FileIdentity &identity) {
    off_t old_size = 0;
    struct stat source {};
    if (!same_identity(to, identity, &old_size) || fstat(from, &source) != 0 ||
        !set_final_size(to, old_size, source.st_size)) {
        return CopyResult::unchanged;
    }
    const long long total = copy_bytes(from, to);
    bool copied = total == static_cast<long long>(source.st_size) &&
                  ftruncate(to, static_cast<off_t>(total)) == 0;
    copied = copied && !injected_failure(FileOperation::sync) && fsync(to) == 0;
    return copied ? CopyResult::done : CopyResult::torn;
}

} // namespace

CopyResult copy_over(const std::string &source, const std::string &target,
                     const FileIdentity &identity) {
    // Neither name may stall the copy (a FIFO put in its place by another process),
    // and the target must still be the locked file.
    OpenCheck check = OpenCheck::opened;
    const int from = open_checked(source, false, nullptr, &check);
    if (from < 0) {
        return CopyResult::unchanged;
    }
    const int to = open_checked(target, true, &identity, &check);
    if (to < 0) {
        const SavedError reason;
        close(from);
        return CopyResult::unchanged;
    }
    const CopyResult result = copy_open(from, to, identity);
    if (result != CopyResult::done) {
        const SavedError reason; // the copy's, not the closes'
        close(from);
        close(to);
        return result;
    }
    close(from);
    const bool closed = close(to) == 0 && !injected_failure(FileOperation::close);
    return closed ? result : CopyResult::torn;
}

} // namespace platform
