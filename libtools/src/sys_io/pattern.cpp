// SPDX-License-Identifier: MIT
// Pattern expansion: the entries of one directory whose names match a wildcard
// pattern, collected in a string list or counted.
#include "libtools/tool_dir.h"
#include "libtools/tool_dstring.h"
#include "libtools/tool_memory.h"
#include "libtools/tool_sys_io.h"
#include "platform/paths.h"
#include "sys_io/source_tag.h"

#include <cstring>

namespace {

// A directory whose path contains this text is never scanned: expanding a pattern
// there gives nothing.
constexpr char kSkippedPath[] = "rpc_socket";

bool is_dot_entry(const char *name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// Calls `visit(name)` for every entry of `directory` whose name matches `pattern` (case
// folded) until it returns false. Nothing is visited when the scan path cannot be formed.
template <typename Visit>
void for_each_match(const char *pattern, const char *directory, Visit visit) {
    char *scan_path = tool_join_path(directory, nullptr);
    if (scan_path == nullptr) {
        return;
    }
    ToolDir *dir =
        std::strstr(directory, kSkippedPath) == nullptr ? tool_opendir(scan_path) : nullptr;
    for (ToolDirEntry *entry = tool_readdir(dir); entry != nullptr; entry = tool_readdir(dir)) {
        if (tool_strmatch(pattern, entry->name, 1) && !visit(entry->name)) {
            break;
        }
    }
    if (dir != nullptr) {
        tool_closedir(dir);
    }
    tool_free(scan_path, SYS_IO_HERE);
}

} // namespace

extern "C" {

char *tool_join_path(const char *directory, const char *name) {
    const char separator[] = {platform::native_separator(), '\0'};
    char *path = tool_strdup(directory != nullptr ? directory : "");
    if (path != nullptr && tool_strgetchar(path, -1) != separator[0]) {
        tool_strcat(&path, separator);
    }
    if (path != nullptr && name != nullptr) {
        tool_strcat(&path, name);
    }
    return path;
}

int tool_expand_pattern(StringList *list, const char *pattern, const char *directory) {
    if (list == nullptr) {
        return 0;
    }
    if (directory == nullptr) {
        return list->count;
    }
    tool_strlist_free(list);
    for_each_match(pattern, directory, [list](const char *name) {
        // A list that cannot grow has been emptied; a partial list would pass for whole.
        return tool_strlist_append(list, name) != 0;
    });
    return list->count;
}

int tool_count_matches(const char *pattern, const char *directory) {
    if (directory == nullptr) {
        return 0;
    }
    int count = 0;
    for_each_match(pattern, directory, [&count](const char *name) {
        count += is_dot_entry(name) ? 0 : 1;
        return true;
    });
    return count;
}

} // extern "C"
