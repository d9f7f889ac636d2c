#include "platform/paths.h"

namespace platform {

std::string native_path(const char *path) {
    return path != nullptr ? path : "";
}

char native_separator() {
    return '/';
}

bool is_path_separator(char c) {
    return c == '/';
}

void use_native_separators(char *) {}

} // namespace platform
