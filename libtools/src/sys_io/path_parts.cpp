// SPDX-License-Identifier: MIT
// The directory part of a path and the questions a directory walk asks about an
// entry, answered by the platform layer's rules.
#include "libtools/tool_sys_io.h"
#include "platform/dir_enum.h"
#include "platform/file_system.h"
#include "platform/path_rules.h"
#include "platform/paths.h"

#include <cerrno>

extern "C" {

unsigned tool_path_directory_length(const char *path) {
    return static_cast<unsigned>(platform::directory_part_length(path));
}

char tool_path_bad_name_end(const char *text) {
    return platform::bad_name_end_character(text);
}

unsigned tool_path_kept_length(const char *path) {
    return static_cast<unsigned>(platform::kept_path_length(path));
}

char tool_path_separator(void) {
    return platform::native_separator();
}

int tool_is_link(const char *path) {
    return path != nullptr && platform::fs_is_link(path) ? 1 : 0;
}

int tool_can_list_directory(const char *path) {
    if (path == nullptr) {
        errno = EINVAL;
        return 0;
    }
    if (!platform::dir_enum_is_directory(path)) {
        return 0;
    }
    const char *first = nullptr;
    platform::DirEnum *search = platform::dir_enum_first(path, &first);
    if (search == nullptr) {
        return 0;
    }
    platform::dir_enum_close(search);
    return 1;
}

} // extern "C"
