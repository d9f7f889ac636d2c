// SPDX-License-Identifier: MIT
// Splitting a path into its directory and its name.
#include "libtools/tool_sys_io.h"
#include "platform/paths.h"

namespace {

// The last separator of `path`, or null.
const char *last_separator(const char *path) {
    const char *last = nullptr;
    for (const char *p = path; *p != '\0'; ++p) {
        if (platform::is_path_separator(*p)) {
            last = p;
        }
    }
    return last;
}

// A new string of the first `length` characters of `path`.
char *copy_prefix(const char *path, unsigned length) {
    char *copy = nullptr;
    return tool_strncpy(&copy, path, length);
}

} // namespace

extern "C" {

char *tool_path_basename(const char *path) {
    if (path == nullptr) {
        return nullptr;
    }
    const char *separator = last_separator(path);
    return tool_strdup(separator != nullptr ? separator + 1 : path);
}

char *tool_path_dirname(const char *path) {
    if (path == nullptr) {
        return nullptr;
    }
    if (tool_is_directory(path)) {
        const unsigned length = tool_strlen(path);
        const bool trailing = length > 0 && platform::is_path_separator(path[length - 1]);
        return copy_prefix(path, trailing ? length - 1 : length);
    }
    const char *separator = last_separator(path);
    if (separator == nullptr) {
        return nullptr;
    }
    return copy_prefix(path, static_cast<unsigned>(separator - path));
}

} // extern "C"
