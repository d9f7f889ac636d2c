#include "support/file_system.h"

#include <sys/stat.h>

#include <cerrno>
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

std::string make_fifo(const std::filesystem::path &path) {
    return mkfifo(path.c_str(), 0644) == 0 ? "" : std::strerror(errno);
}
