// SPDX-License-Identifier: MIT
#include "file/leftovers.h"

#include "terminal/messages.h"

#include "libtools/tool_sys_io.h"

#include <cstring>
#include <new>
#include <set>
#include <string>

namespace {

// Releases a string list when it goes out of scope.
class PathList {
  public:
    PathList() = default;
    ~PathList() { tool_strlist_free(&list_); }
    PathList(const PathList &) = delete;
    PathList &operator=(const PathList &) = delete;
    StringList *get() { return &list_; }

  private:
    StringList list_ = {0, nullptr};
};

// Whether `directory` is met for the first time in this run.
bool first_visit(const char *directory) {
    static std::set<std::string> visited;
    try {
        return visited.insert(directory).second;
    } catch (const std::bad_alloc &) {
        return true; // sweeping again is harmless
    }
}

} // namespace

void sweep_leftovers_beside(const char *target) {
    char *directory = tool_path_dirname(target);
    if (directory == nullptr) {
        return;
    }
    if (*directory == '\0') {
        tool_strcpy(&directory, "/"); // a file in the root directory
    }
    if (directory != nullptr && first_visit(directory)) {
        PathList kept;
        tool_replace_sweep(directory, kept.get());
        for (int i = 0; i < kept.get()->count; ++i) {
            report_leftover_kept(kept.get()->items[i]);
        }
    }
    tool_strfree(&directory);
}

bool is_skipped_name(const char *name) {
    char *base = tool_path_basename(name);
    const char *last = base != nullptr ? base : name;
    const bool skipped = std::strcmp(last, ".") == 0 || std::strcmp(last, "..") == 0 ||
                         tool_is_replacement_name(last) != 0;
    tool_strfree(&base);
    return skipped;
}
