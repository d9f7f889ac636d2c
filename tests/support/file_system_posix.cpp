#include "support/file_system.h"

#include <climits>

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
