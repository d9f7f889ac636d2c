// SPDX-License-Identifier: MIT
#include "support/file_system.h"

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <cerrno>
#include <climits>
#include <cstring>

bool volume_ignores_case(const std::filesystem::path &) {
    return false;
}

bool is_hidden(const std::filesystem::path &file) {
    const std::string name = file.filename().string();
    return !name.empty() && name[0] == '.';
}

std::string permission_bits_unsupported() {
    return "";
}

std::size_t path_limit() {
    return PATH_MAX;
}

std::string make_fifo(const std::filesystem::path &path) {
    return mkfifo(path.c_str(), 0644) == 0 ? "" : std::strerror(errno);
}

std::string set_extended_attribute(const std::filesystem::path &path, const std::string &name,
                                   const std::string &value) {
    return setxattr(path.c_str(), name.c_str(), value.data(), value.size(), 0) == 0
               ? ""
               : std::strerror(errno);
}

std::string extended_attribute(const std::filesystem::path &path, const std::string &name) {
    char buffer[4096];
    const ssize_t size = getxattr(path.c_str(), name.c_str(), buffer, sizeof buffer);
    return size < 0 ? "<none>" : std::string(buffer, static_cast<std::size_t>(size));
}

std::string mount_without_records(const std::filesystem::path &path) {
    return mount("ramfs", path.c_str(), "ramfs", MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr) == 0
               ? ""
               : std::string("ramfs cannot be mounted here: ") + std::strerror(errno);
}

void unmount_scratch(const std::filesystem::path &path) {
    umount2(path.c_str(), MNT_DETACH);
}

std::string extended_length_form(const std::filesystem::path &) {
    return "";
}

std::string characters_names_cannot_hold() {
    return "/";
}

bool drops_trailing_dots_and_blanks() {
    return false;
}

std::string hold_without_delete_sharing(const std::filesystem::path &, long long *) {
    return "POSIX systems have no sharing modes: another program's open never stops a rename";
}

void release_file_hold(long long) {}
