// SPDX-License-Identifier: MIT
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "support/file_system.h"

bool volume_ignores_case(const std::filesystem::path &directory) {
    const std::string root = std::filesystem::absolute(directory).root_path().string();
    DWORD flags = 0;
    if (!GetVolumeInformationA(root.c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0)) {
        return false;
    }
    return (flags & FILE_CASE_SENSITIVE_SEARCH) == 0;
}

bool is_hidden(const std::filesystem::path &file) {
    const DWORD attributes = GetFileAttributesA(file.string().c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN) != 0;
}

std::string permission_bits_unsupported() {
    return "Windows files have no POSIX permission bits, only a read-only attribute";
}

std::size_t path_limit() {
    return MAX_PATH;
}

std::string make_fifo(const std::filesystem::path &) {
    return "Windows file systems hold no FIFOs";
}

std::string set_extended_attribute(const std::filesystem::path &, const std::string &,
                                   const std::string &) {
    return "Windows keeps access control lists apart from extended attributes";
}

std::string extended_attribute(const std::filesystem::path &, const std::string &) {
    return "<none>";
}

std::string mount_without_records(const std::filesystem::path &) {
    return "Windows mounts no file system for a test";
}

void unmount_scratch(const std::filesystem::path &) {}
