#include "platform/replace.h"
#include "platform/replace_shared.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace platform {

namespace {

constexpr int kCreateAttempts = 100;

// Gives the new file the target's owner and group when they differ from ours.
bool keep_owner(int fd, const TargetFacts &facts) {
    if (facts.owner == geteuid() && facts.group == getegid()) {
        return true;
    }
    return fchown(fd, static_cast<uid_t>(facts.owner), static_cast<gid_t>(facts.group)) == 0;
}

int create_exclusive(const std::string &directory, const std::string &name_hint,
                     std::string *created) {
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        // A few short parts once per attempt; the temporaries cost nothing that matters.
        // NOLINTNEXTLINE(performance-inefficient-string-concatenation)
        const std::string path = directory + "/." + name_hint + ".joint2si-" + random_name_suffix();
        const int fd =
            open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
        if (fd >= 0) {
            *created = path;
            return fd;
        }
        if (errno != EEXIST) {
            return -1;
        }
    }
    return -1;
}

} // namespace

bool resolve_final_path(const std::string &path, std::string *resolved) {
    char *real = realpath(path.c_str(), nullptr);
    if (real == nullptr) {
        return false;
    }
    *resolved = real;
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
    return true;
}

std::FILE *create_replacement(const std::string &directory, const std::string &name_hint,
                              const TargetFacts &facts, std::string *created, bool *kept_owner) {
    const int fd = create_exclusive(directory, name_hint, created);
    if (fd < 0) {
        return nullptr;
    }
    *kept_owner = keep_owner(fd, facts);
    std::FILE *stream = nullptr;
    if (fchmod(fd, static_cast<mode_t>(facts.permissions)) == 0) {
        stream = fdopen(fd, "w");
    }
    if (stream == nullptr) {
        close(fd);
        unlink(created->c_str());
    }
    return stream;
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
    // The rename itself is durable only once the directory entry is on disk.
    const int directory = open(directory_of(target).c_str(), O_RDONLY | O_CLOEXEC);
    if (directory >= 0) {
        fsync(directory);
        close(directory);
    }
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

bool copy_over(const std::string &source, const std::string &target) {
    const int from = open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (from < 0) {
        return false;
    }
    const int to = open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (to < 0) {
        close(from);
        return false;
    }
    const long long total = copy_bytes(from, to);
    bool copied = total >= 0 && ftruncate(to, static_cast<off_t>(total)) == 0;
    copied = copied && !injected_failure(FileOperation::sync) && fsync(to) == 0;
    close(from);
    const bool closed = close(to) == 0 && !injected_failure(FileOperation::close);
    return copied && closed;
}

} // namespace platform
