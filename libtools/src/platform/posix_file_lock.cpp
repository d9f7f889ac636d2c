// SPDX-License-Identifier: MIT
#include "platform/file_lock.h"
#include "platform/posix_file_state.h"
#include "platform/system_error.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>
#include <vector>

namespace platform {

namespace {

constexpr int kMostLinks = 40; // as the kernel's limit on links followed in one lookup

bool same_file(const struct stat &a, const struct stat &b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool trusted_owner(uid_t link_owner, uid_t file_owner) {
    return link_owner == geteuid() || link_owner == 0 || link_owner == file_owner;
}

// The text of the symbolic link at `path`; false when it cannot be read.
bool read_link(const std::string &path, std::string *text) {
    char buffer[PATH_MAX];
    const ssize_t length = readlink(path.c_str(), buffer, sizeof buffer);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof buffer) {
        return false;
    }
    text->assign(buffer, static_cast<std::size_t>(length));
    return true;
}

// Adds the components of `path` to the ones still to walk, `pending`, whose last entry
// is walked next; empty components and "." are dropped.
void push_components(const std::string &path, std::vector<std::string> *pending) {
    std::size_t end = path.size();
    while (end > 0) {
        const std::size_t slash = path.rfind('/', end - 1);
        const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
        if (end > start && path.compare(start, end - start, ".") != 0) {
            pending->push_back(path.substr(start, end - start));
        }
        end = slash == std::string::npos ? 0 : slash;
    }
}

// `walked` (a path without symbolic links: "" is the root) followed by `name`. The
// parent of a walked directory is found by taking its last component off, as that
// component is no link.
std::string step_into(const std::string &walked, const std::string &name) {
    const std::size_t slash = walked.rfind('/');
    const bool can_go_up =
        slash != std::string::npos && walked.compare(slash + 1, std::string::npos, "..") != 0;
    if (name == ".." && (walked.empty() || can_go_up)) {
        return walked.empty() ? walked : walked.substr(0, slash);
    }
    return walked + "/" + name;
}

enum class LinkCheck { trusted, untrusted, changed };

// Walks `path` one component at a time as the system resolves it and checks every
// symbolic link met on the way, in the directory part as well as at the end: each
// must belong to the running user, the superuser or the owner of `file`, the file
// the path leads to (the rule Linux applies in sticky directories), so that no other
// user can steer the rewrite onto a file of theirs. `changed` when the path no longer
// leads to `file`.
LinkCheck check_links(const std::string &path, const struct stat &file) {
    std::vector<std::string> pending;
    push_components(path, &pending);
    std::string walked = !path.empty() && path[0] == '/' ? "" : ".";
    int links = 0;
    struct stat end {};
    bool end_known = false; // `end` is what lstat gave for `walked`, which is no link
    while (!pending.empty()) {
        const std::string next = step_into(walked, pending.back());
        pending.pop_back();
        struct stat entry {};
        if (lstat(next.c_str(), &entry) != 0) {
            return LinkCheck::changed;
        }
        end_known = !S_ISLNK(entry.st_mode);
        if (end_known) {
            walked = next;
            end = entry;
            continue;
        }
        std::string text;
        if (++links > kMostLinks || !trusted_owner(entry.st_uid, file.st_uid)) {
            return LinkCheck::untrusted;
        }
        if (!read_link(next, &text)) {
            return LinkCheck::changed;
        }
        walked = text[0] == '/' ? "" : walked; // a relative link starts in its directory
        push_components(text, &pending);
    }
    const bool same = (end_known || stat(walked.empty() ? "/" : walked.c_str(), &end) == 0) &&
                      same_file(end, file);
    return same ? LinkCheck::trusted : LinkCheck::changed;
}

// Waits for the exclusive lock (without `wait`, fails with EWOULDBLOCK when another
// holds it). A file system without locks is used unlocked.
bool wait_for_lock(int fd, bool wait = true) {
    while (flock(fd, wait ? LOCK_EX : LOCK_EX | LOCK_NB) != 0) {
        if (errno == ENOLCK || errno == EOPNOTSUPP || errno == EINVAL) {
            return true;
        }
        if (errno != EINTR) {
            return false;
        }
    }
    return true;
}

} // namespace

LockResult lock_once(const std::string &path, LockedTarget *target, bool wait, bool *retry) {
    // Non-blocking: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return LockResult::cannot_open;
    }
    struct stat held {};
    LinkCheck links = LinkCheck::trusted;
    LockResult result = LockResult::locked;
    // Each test has its own branch, in the order the checks must run, though two of
    // them give the same result.
    // NOLINTNEXTLINE(bugprone-branch-clone)
    if (fstat(fd, &held) != 0) {
        result = LockResult::cannot_open;
    } else if (S_ISDIR(held.st_mode)) {
        errno = EISDIR;
        result = LockResult::cannot_open;
    } else if (!S_ISREG(held.st_mode)) {
        result = LockResult::not_regular;
    } else if ((links = check_links(path, held)) == LinkCheck::untrusted) {
        result = LockResult::untrusted_link;
    } else if (links == LinkCheck::changed) {
        *retry = true; // the name was moved while it was walked
        errno = 0;     // no system error: the name led elsewhere once
        result = LockResult::cannot_open;
    } else if (!wait_for_lock(fd, wait)) {
        result = errno == EWOULDBLOCK ? LockResult::busy : LockResult::cannot_open;
    }
    struct stat named {};
    if (result == LockResult::locked &&
        (stat(path.c_str(), &named) != 0 || !same_file(named, held))) {
        *retry = true;
        errno = 0;
        result = LockResult::cannot_open;
    }
    if (result != LockResult::locked) {
        const SavedError reason;
        close(fd);
        return result;
    }
    target->handle = fd;
    target->identity.device = static_cast<unsigned long long>(held.st_dev);
    target->identity.index = static_cast<unsigned long long>(held.st_ino);
    target->state = state_of_status(named); // the locked file, read after the lock
    target->state_known = true;
    return result;
}

void unlock_target(LockedTarget *target) {
    if (target->handle >= 0) {
        close(static_cast<int>(target->handle)); // releases the lock
    }
    target->handle = -1;
}

bool lock_replacement(std::FILE *stream, const std::string &path) {
    return lock_replacement_handle(fileno(stream), path);
}

bool lock_replacement_handle(long long handle, const std::string &path) {
    const int fd = static_cast<int>(handle);
    if (!wait_for_lock(fd)) {
        return false;
    }
    struct stat held {};
    struct stat named {};
    return fstat(fd, &held) == 0 && held.st_nlink > 0 && lstat(path.c_str(), &named) == 0 &&
           same_file(held, named);
}

long long hold_replacement_lock(std::FILE *stream) {
    return hold_replacement_handle_lock(fileno(stream));
}

long long hold_replacement_handle_lock(long long handle) {
    // A duplicate shares the open file description, and with it the lock.
    return fcntl(static_cast<int>(handle), F_DUPFD_CLOEXEC, 0);
}

void drop_replacement_lock(long long held) {
    if (held >= 0) {
        close(static_cast<int>(held));
    }
}

LeftoverState check_leftover(const std::string &path, bool remove) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return LeftoverState::in_use; // gone meanwhile, or not ours to judge
    }
    struct stat held {};
    struct stat named {};
    LeftoverState state = LeftoverState::in_use;
    if (fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0) {
        state = LeftoverState::abandoned;
        if (remove && lstat(path.c_str(), &named) == 0 && same_file(held, named) &&
            unlink(path.c_str()) == 0) {
            state = LeftoverState::removed;
        }
    }
    close(fd);
    return state;
}

} // namespace platform
