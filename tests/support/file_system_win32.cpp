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

// The extended-length form's, in which the toolkit names paths of MAX_PATH and more.
std::size_t path_limit() {
    return 32768;
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

std::string extended_length_form(const std::filesystem::path &path) {
    const std::string absolute = std::filesystem::absolute(path).make_preferred().string();
    if (absolute.compare(0, 2, "\\\\") == 0) {
        return "\\\\?\\UNC\\" + absolute.substr(2);
    }
    return "\\\\?\\" + absolute;
}

std::string characters_names_cannot_hold() {
    return "/\\<>:\"|?*";
}

bool drops_trailing_dots_and_blanks() {
    return true;
}

std::string hold_without_delete_sharing(const std::filesystem::path &path, long long *hold) {
    const HANDLE handle =
        CreateFileW(path.wstring().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return "cannot open " + path.string() + " (error " + std::to_string(GetLastError()) + ")";
    }
    *hold = static_cast<long long>(reinterpret_cast<intptr_t>(handle));
    return "";
}

void release_file_hold(long long hold) {
    CloseHandle(reinterpret_cast<HANDLE>(static_cast<intptr_t>(hold)));
}
