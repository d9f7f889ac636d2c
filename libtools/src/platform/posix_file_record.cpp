// SPDX-License-Identifier: MIT
// A file's record on POSIX: the extended attribute "user.joint2si", read and written
// through the open descriptor, so it always concerns the file that descriptor holds
// whatever its names do meanwhile. A replacement's mark is the attribute
// "user.joint2si.replacement", given to the file before any name leads to it where
// Linux allows (O_TMPFILE, then linkat).
#include "platform/file_record.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>

namespace platform {

namespace {

constexpr char kAttribute[] = "user.joint2si";
constexpr char kMarkAttribute[] = "user.joint2si.replacement";

// A file system without user attributes says ENOTSUP (EOPNOTSUPP on Linux).
RecordResult result_of_error(int error) {
    if (error == ENOTSUP || error == EOPNOTSUPP) {
        return RecordResult::unsupported;
    }
    return error == ENODATA ? RecordResult::none : RecordResult::failed;
}

RecordResult read_attribute(int fd, const char *attribute, std::string *record) {
    record->clear();
    RecordResult injected = RecordResult::failed;
    if (injected_record_result(false, &injected)) {
        return injected;
    }
    for (;;) {
        const ssize_t size = fgetxattr(fd, attribute, nullptr, 0);
        if (size < 0) {
            return result_of_error(errno);
        }
        if (static_cast<std::size_t>(size) > kMaxRecordSize) {
            return RecordResult::failed;
        }
        record->assign(static_cast<std::size_t>(size), '\0');
        const ssize_t got = size > 0 ? fgetxattr(fd, attribute, &(*record)[0], record->size()) : 0;
        if (got >= 0) {
            record->resize(static_cast<std::size_t>(got));
            return RecordResult::found;
        }
        record->clear();
        if (errno != ERANGE) { // ERANGE: the value grew meanwhile; ask again
            return result_of_error(errno);
        }
    }
}

RecordResult write_attribute(int fd, const char *attribute, const std::string &record) {
    RecordResult injected = RecordResult::failed;
    if (injected_record_result(true, &injected)) {
        return injected;
    }
    if (fsetxattr(fd, attribute, record.data(), record.size(), 0) == 0) {
        return RecordResult::found;
    }
    const RecordResult result = result_of_error(errno);
    return result == RecordResult::none ? RecordResult::failed : result;
}

RecordResult remove_attribute(int fd, const char *attribute) {
    RecordResult injected = RecordResult::failed;
    if (injected_record_result(false, &injected)) {
        return injected;
    }
    if (fremovexattr(fd, attribute) == 0) {
        return RecordResult::found;
    }
    const RecordResult result = result_of_error(errno);
    return result == RecordResult::none ? RecordResult::found : result;
}

} // namespace

const char *record_name() {
    return kAttribute;
}

const char *mark_name() {
    return kMarkAttribute;
}

RecordResult read_record(long long handle, const std::string &, std::string *record) {
    return read_attribute(static_cast<int>(handle), kAttribute, record);
}

RecordResult write_record(long long handle, const std::string &, const std::string &record) {
    return write_attribute(static_cast<int>(handle), kAttribute, record);
}

RecordResult remove_record(long long handle, const std::string &) {
    return remove_attribute(static_cast<int>(handle), kAttribute);
}

RecordResult read_mark(long long handle, const std::string &, std::string *mark) {
    return read_attribute(static_cast<int>(handle), kMarkAttribute, mark);
}

RecordResult write_mark(long long handle, const std::string &, const std::string &mark,
                        bool durable) {
    const RecordResult written = write_attribute(static_cast<int>(handle), kMarkAttribute, mark);
    if (written == RecordResult::found && durable && fsync(static_cast<int>(handle)) != 0) {
        return RecordResult::failed;
    }
    return written;
}

RecordResult remove_mark(long long handle, const std::string &) {
    return remove_attribute(static_cast<int>(handle), kMarkAttribute);
}

long long open_mark_handle(const std::string &path) {
    // The name itself, never a link's target: a mark is asked of the entry a sweep met.
    return open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
}

namespace {

// A new unnamed file in `directory` (O_TMPFILE), or -1 where the system or the file
// system has none.
int create_unnamed(const std::string &directory) {
#if defined(O_TMPFILE)
    return open(directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, S_IRUSR | S_IWUSR);
#else
    (void)directory;
    errno = EOPNOTSUPP;
    return -1;
#endif
}

#if defined(AT_EMPTY_PATH)
// Whether linkat may name a descriptor's file itself (AT_EMPTY_PATH): Linux allows it
// since 6.10 to the process that opened the file, before only with a privilege.
std::atomic<bool> empty_path_refused{false};
#endif

// Gives the unnamed file `fd` the name `path`; false with errno (EEXIST: taken).
bool name_unnamed(int fd, const std::string &path) {
#if defined(AT_EMPTY_PATH)
    if (!empty_path_refused.load(std::memory_order_relaxed)) {
        if (linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0) {
            return true;
        }
        if (errno != ENOENT && errno != EPERM && errno != EACCES && errno != EINVAL) {
            return false;
        }
        // Refused (or the directory went: then the way below fails alike).
        empty_path_refused.store(true, std::memory_order_relaxed);
    }
#endif
    // The descriptor's entry in /proc asks for no privilege, but its lookup costs more.
    // Formatted without allocating: nothing may throw once the file exists.
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    return linkat(AT_FDCWD, self, AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

} // namespace

long long create_marked(const std::string &directory, const std::string &name,
                        const std::string &mark, bool *locked) {
    *locked = false;
    const std::string separator = !directory.empty() && directory.back() == '/' ? "" : "/";
    const std::string path = directory + separator + name;
    const int unnamed = create_unnamed(directory);
    if (unnamed >= 0) {
        // A file system without user attributes still gets the file, unmarked; one
        // without locks gets it unlocked, and the lock is taken the usual way after.
        write_attribute(unnamed, kMarkAttribute, mark);
        *locked = flock(unnamed, LOCK_EX | LOCK_NB) == 0;
        if (name_unnamed(unnamed, path)) {
            return unnamed;
        }
        *locked = false;
        const int error = errno;
        close(unnamed);
        if (error == EEXIST) {
            errno = error;
            return -1;
        }
    }
    // No unnamed files here (or no /proc to name them through): created by name and
    // marked at once; a run killed in between leaves a file no sweep removes.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd >= 0) {
        write_attribute(fd, kMarkAttribute, mark);
    }
    return fd;
}

long long handle_of_stream(std::FILE *stream) {
    return fileno(stream);
}

long long open_record_handle(const std::string &path) {
    // The attribute calls take an ordinary open descriptor; O_NONBLOCK keeps a FIFO put
    // in the file's place from stalling the open.
    return open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

void close_record_handle(long long handle) {
    if (handle >= 0) {
        close(static_cast<int>(handle));
    }
}

} // namespace platform
