// SPDX-License-Identifier: MIT
#include "file/file_directory.h"

#include "libtools/tool_dstring.h"
#include "libtools/tool_sys_io.h"

char *file_directory(const char *path) {
    unsigned length = tool_path_directory_length(path);
    if (length == 0) {
        return nullptr;
    }
    // The directory's part ends in a separator, or in a drive's ":" that is kept.
    if (length > 1 && path[length - 1] != ':') {
        --length;
    }
    char *directory = nullptr;
    return tool_strncpy(&directory, path, length);
}
