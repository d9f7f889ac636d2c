#include "support/file_system.h"

bool volume_ignores_case(const std::filesystem::path &) {
    return false;
}

std::string permission_bits_unsupported() {
    return "";
}
