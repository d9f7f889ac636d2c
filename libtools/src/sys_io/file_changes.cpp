// SPDX-License-Identifier: MIT
// Changes to the file system: renaming and removing files, making directories
// (optionally with every missing parent) and removing files and directory trees.
#include "libtools/tool_memory.h"
#include "libtools/tool_sys_io.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "sys_io/source_tag.h"

#include <cstring>

namespace {

bool is_dot_entry(const char *name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// Makes every directory above `path`, shortest first, cutting at each of the system's
// separators in turn; failures on the way are left for the final step to show.
int make_with_parents(const char *path) {
    char *prefix = tool_strdup(path);
    if (prefix == nullptr) {
        return 0;
    }
    const char separator = platform::native_separator();
    for (char *cut = std::strchr(prefix, separator); cut != nullptr;
         cut = std::strchr(cut + 1, separator)) {
        *cut = '\0';
        platform::fs_make_directory(prefix);
        *cut = separator;
    }
    tool_free(prefix, SYS_IO_HERE);
    return tool_mkdir(path);
}

// The length of `path` without its trailing separators (a lone separator stays).
std::size_t bare_length(const char *path) {
    std::size_t length = std::strlen(path);
    while (length > 1 && platform::is_path_separator(path[length - 1])) {
        --length;
    }
    return length;
}

// Whether `path`, read without its trailing separators, is a symbolic link. The
// separators must go: the system follows a link named as "link/".
bool names_a_link(char *path) {
    const std::size_t length = bare_length(path);
    const char kept = path[length];
    path[length] = '\0';
    const bool link = platform::fs_is_link(path);
    path[length] = kept;
    return link;
}

// Removes everything inside `directory`, each entry with tool_remove_path; a name is
// joined exactly as the directory lists it.
void remove_entries(const char *directory) {
    StringList names{0, nullptr};
    if (tool_expand_pattern(&names, nullptr, directory) > 2) {
        for (int i = 0; i < names.count; ++i) {
            const char *name = names.items[i];
            if (name == nullptr || is_dot_entry(name)) {
                continue;
            }
            char *entry = tool_join_path(directory, name);
            if (entry != nullptr) {
                tool_remove_path(1, entry);
            }
            tool_free(entry, SYS_IO_HERE);
        }
    }
    tool_strlist_free(&names);
}

// Removes the link, file or empty directory at `path` (one trailing separator dropped,
// every one for a link).
bool remove_one(char *path, bool link) {
    if (link) {
        path[bare_length(path)] = '\0';
        return platform::fs_remove_link(path);
    }
    const std::size_t length = std::strlen(path);
    if (length > 0 && platform::is_path_separator(path[length - 1])) {
        path[length - 1] = '\0';
    }
    if (tool_is_directory(path)) {
        return platform::fs_remove_directory(path);
    }
    return platform::fs_remove_file(path);
}

} // namespace

extern "C" {

int tool_rename_file(const char *from, const char *to) {
    if (from == nullptr || to == nullptr || !tool_file_exists(from)) {
        return 0;
    }
    return platform::fs_rename(from, to) ? 1 : 0;
}

int tool_remove_file(const char *path) {
    return path != nullptr && platform::fs_remove_file(path) ? 1 : 0;
}

int tool_mkdir(const char *path) {
    return path != nullptr && platform::fs_make_directory(path) ? 1 : 0;
}

int tool_make_directory(int recursive, const char *path) {
    if (path == nullptr) {
        return 0;
    }
    return recursive ? make_with_parents(path) : tool_mkdir(path);
}

// A symbolic link is never entered: removing a tree must not reach through a link
// into the directory it points to.
int tool_remove_path(int recursive, const char *path) {
    char *copy = tool_strdup(path);
    if (copy == nullptr) {
        return 0;
    }
    const bool link = names_a_link(copy);
    if (recursive && !link) {
        remove_entries(copy);
    }
    const bool removed = remove_one(copy, link);
    tool_free(copy, SYS_IO_HERE);
    return removed ? 1 : 0;
}

} // extern "C"
