// Splitting a path into its directory and its name.
#include "libtools/tool_sys_io.h"

namespace {

constexpr char kSeparators[] = "\\/";

bool is_separator(char c) {
    return c == '\\' || c == '/';
}

// A new string of the first `length` characters of `path`.
char *copy_prefix(const char *path, unsigned length) {
    char *copy = nullptr;
    return tool_strncpy(&copy, path, length);
}

} // namespace

extern "C" {

char *tool_path_basename(const char *path) {
    const char *separator = tool_strrpbrk(path, kSeparators);
    return tool_strdup(separator != nullptr ? separator + 1 : path);
}

char *tool_path_dirname(const char *path) {
    if (path == nullptr) {
        return nullptr;
    }
    if (tool_is_directory(path)) {
        const unsigned length = tool_strlen(path);
        const bool trailing = length > 0 && is_separator(path[length - 1]);
        return copy_prefix(path, trailing ? length - 1 : length);
    }
    const char *separator = tool_strrpbrk(path, kSeparators);
    if (separator == nullptr) {
        return nullptr;
    }
    return copy_prefix(path, static_cast<unsigned>(separator - path));
}

} // extern "C"
