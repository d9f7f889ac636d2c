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
