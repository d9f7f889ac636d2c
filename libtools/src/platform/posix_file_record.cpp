// SPDX-License-Identifier: MIT
// A file's record on POSIX: the extended attribute "user.joint2si", read and written
// through the open descriptor, so it always concerns the file that descriptor holds
// whatever its names do meanwhile.
#include "platform/file_record.h"

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

namespace {

constexpr char kAttribute[] = "user.joint2si";

// A file system without user attributes says ENOTSUP (EOPNOTSUPP on Linux).
RecordResult result_of_error(int error) {
    if (error == ENOTSUP || error == EOPNOTSUPP) {
        return RecordResult::unsupported;
    }
    return error == ENODATA ? RecordResult::none : RecordResult::failed;
}

} // namespace

const char *record_name() {
    return kAttribute;
}

RecordResult read_record(long long handle, const std::string &, std::string *record) {
    record->clear();
    RecordResult injected = RecordResult::failed;
    if (injected_record_result(false, &injected)) {
        return injected;
    }
    const int fd = static_cast<int>(handle);
    for (;;) {
        const ssize_t size = fgetxattr(fd, kAttribute, nullptr, 0);
        if (size < 0) {
            return result_of_error(errno);
        }
        if (static_cast<std::size_t>(size) > kMaxRecordSize) {
            return RecordResult::failed;
        }
        record->assign(static_cast<std::size_t>(size), '\0');
        const ssize_t got = size > 0 ? fgetxattr(fd, kAttribute, &(*record)[0], record->size()) : 0;
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

RecordResult write_record(long long handle, const std::string &, const std::string &record) {
    RecordResult injected = RecordResult::failed;
    if (injected_record_result(true, &injected)) {
        return injected;
    }
    if (fsetxattr(static_cast<int>(handle), kAttribute, record.data(), record.size(), 0) == 0) {
        return RecordResult::found;
    }
    const RecordResult result = result_of_error(errno);
    return result == RecordResult::none ? RecordResult::failed : result;
}

RecordResult remove_record(long long handle, const std::string &) {
    RecordResult injected = RecordResult::failed;
    if (injected_record_result(false, &injected)) {
        return injected;
    }
    if (fremovexattr(static_cast<int>(handle), kAttribute) == 0) {
        return RecordResult::found;
    }
    const RecordResult result = result_of_error(errno);
    return result == RecordResult::none ? RecordResult::found : result;
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
