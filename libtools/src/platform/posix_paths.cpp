#include "platform/paths.h"

#include <algorithm>

namespace platform {

std::string native_path(const char *path) {
    std::string native = path != nullptr ? path : "";
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}

char native_separator() {
    return '/';
}

} // namespace platform
