// SPDX-License-Identifier: MIT
// Existence, type and permission tests on paths. Permissions are read from the
// owner's bits of the mode word.
#include "libtools/tool_memory.h"
#include "libtools/tool_sys_io.h"
#include "platform/file_system.h"
#include "sys_io/source_tag.h"

#include <cstdlib>

namespace {

// `test` applied to tool_join_path(directory, name); 0 when the path cannot be formed.
template <typename Test>
int on_joined_path(const char *directory, const char *name, Test test) {
    char *path = tool_join_path(directory, name);
    const int result = path != nullptr ? test(path) : 0;
    tool_free(path, SYS_IO_HERE);
    return result;
}

// Creates the missing file `path` as fopen would with `mode`, to learn whether it can
// be written. A "w" mode leaves nothing behind; any other keeps the empty file.
int try_to_create(const char *path, const char *mode) {
    if (!platform::fs_create_file(path, mode != nullptr ? mode : "a")) {
        return 0;
    }
    if (mode != nullptr && mode[0] == 'w') {
        platform::fs_remove_file(path);
    }
    return 1;
}

} // namespace

extern "C" {

int tool_file_exists(const char *path) {
    return path != nullptr && platform::fs_exists(path) ? 1 : 0;
}

int tool_file_exists_in(const char *directory, const char *name) {
    if (name == nullptr) {
        return 0;
    }
    return on_joined_path(directory, name, tool_file_exists);
}

int tool_file_exists_at(const char *directory, const char *subdirectory, const char *name) {
    return on_joined_path(directory, subdirectory,
                          [name](const char *path) { return tool_file_exists_in(path, name); });
}

int tool_is_directory(const char *path) {
    return (tool_file_mode(path) & TOOL_MODE_DIRECTORY) != 0 ? 1 : 0;
}

int tool_is_directory_in(const char *directory, const char *name) {
    return on_joined_path(directory, name, tool_is_directory);
}

int tool_can_access(const char *path, const char *mode) {
    const unsigned bits = tool_file_mode(path);
    if (mode != nullptr && mode[0] == 'r') {
        return (bits & TOOL_MODE_OWNER_READ) != 0 ? 1 : 0;
    }
    if ((bits & TOOL_MODE_OWNER_WRITE) != 0) {
        return 1;
    }
    ToolStat status{};
    if (path == nullptr || tool_stat(path, &status)) {
        return 0; // exists, but its owner may not write it
    }
    return try_to_create(path, mode);
}

int tool_is_writable_directory(const char *path) {
    return tool_is_directory(path) && tool_can_access(path, nullptr) ? 1 : 0;
}

int tool_may_create_in(const char *path) {
    return path != nullptr && platform::fs_may_create_in(path) ? 1 : 0;
}

int tool_has_permissions(const char *permissions, const char *path) {
    if (path == nullptr) {
        return 0;
    }
    if (permissions == nullptr || permissions[0] == '\0') {
        return 1;
    }
    ToolStat status{};
    if (!tool_stat(path, &status)) {
        return 0;
    }
    // strtol rather than atoi: the same digits, without undefined behaviour on overflow.
    const auto wanted = static_cast<unsigned long>(std::strtol(permissions, nullptr, 10)) & 7u;
    unsigned long owner = 0;
    owner |= (status.mode & TOOL_MODE_OWNER_READ) != 0 ? 4u : 0u;
    owner |= (status.mode & TOOL_MODE_OWNER_WRITE) != 0 ? 2u : 0u;
    owner |= (status.mode & TOOL_MODE_OWNER_EXECUTE) != 0 ? 1u : 0u;
    return owner == wanted ? 1 : 0;
}

} // extern "C"
