#include "platform/paths.h"

namespace platform {

// Windows takes the toolkit's path syntax as it is: backslash and "/" both separate.
std::string native_path(const char *path) {
    return path != nullptr ? path : "";
}

char native_separator() {
    return '\\';
}

} // namespace platform
