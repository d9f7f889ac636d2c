// SPDX-License-Identifier: MIT
// Pattern expansion that prefers a subdirectory and merges into a list without
// repeating names.
#include "libtools/tool_memory.h"
#include "libtools/tool_sys_io.h"
#include "sys_io/source_tag.h"

namespace {

// Appends the names of `found` that `list` does not hold yet. False when a name was lost
// to memory exhaustion: missing from `found`, not copied into `list`, or the list could
// not grow (it is then released and empty).
bool merge_new_names(StringList *list, const StringList &found) {
    for (int i = 0; i < found.count; ++i) {
        const char *name = found.items[i];
        if (name == nullptr) {
            return false;
        }
        if (tool_strlist_contains(list, name)) {
            continue;
        }
        if (!tool_strlist_append(list, name) || list->items[list->count - 1] == nullptr) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" {

int tool_expand_pattern_merge(StringList *list, const char *pattern, const char *name,
                              const char *directory) {
    if (list == nullptr) {
        return 0;
    }
    char *subdirectory = tool_join_path(directory, name);
    if (subdirectory == nullptr) {
        return 0;
    }
    const bool use_subdirectory =
        tool_is_directory_in(directory, name) && tool_can_access(subdirectory, "r");
    StringList found{0, nullptr};
    tool_expand_pattern(&found, pattern, use_subdirectory ? subdirectory : directory);
    const bool merged = merge_new_names(list, found);
    const int result = found.count > 0 && merged ? 1 : 0;
    tool_strlist_free(&found);
    tool_free(subdirectory, SYS_IO_HERE);
    return result;
}

} // extern "C"
