// SPDX-License-Identifier: MIT
#include "app/argument_walk.h"

#include "app/match_order.h"
#include "app/tree_walk.h"
#include "file/argument_match.h"

#include "libtools/tool_sys_io.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace {

// Releases a string list when it goes out of scope.
class NameList {
  public:
    NameList() = default;
    ~NameList() { tool_strlist_free(&list_); }
    NameList(const NameList &) = delete;
    NameList &operator=(const NameList &) = delete;
    StringList *get() { return &list_; }

  private:
    StringList list_ = {0, nullptr};
};

// Visits the matches of `pattern` in the directory `prefix` alone, in order; a directory
// that cannot be listed is noted in `result` when nothing matched.
void walk_directory(const std::string &prefix, const std::string &pattern, const WalkVisit &visit,
                    WalkResult *result) {
    const std::string directory = scan_path(prefix);
    NameList matches;
    const int count = tool_expand_pattern(matches.get(), pattern.c_str(), directory.c_str());
    if (count == 0 && !tool_can_list_directory(directory.c_str())) {
        result->unread_directory = display_name(prefix); // the expansion says no more
        result->unread_reason = errno;                   // than "nothing"
    }
    std::vector<const char *> names;
    for (int i = 0; i < matches.get()->count; ++i) {
        const char *name = matches.get()->items[i];
        if (name == nullptr) {
            result->lost = true;
        } else {
            names.push_back(name);
        }
    }
    std::stable_sort(names.begin(), names.end(),
                     [](const char *a, const char *b) { return compare_matches(a, b) < 0; });
    for (const char *name : names) {
        ++result->matched;
        visit(prefix + name, nullptr);
    }
}

// The separator the argument itself uses, so that names below it read alike; the
// system's when the argument has none.
char separator_of(const std::string &prefix) {
    const char last = prefix.empty() ? '\0' : prefix[prefix.size() - 1];
    return last == '/' || last == '\\' ? last : tool_path_separator();
}

} // namespace

WalkResult walk_argument(const char *argument, bool recursive, const WalkVisit &visit) {
    WalkResult result;
    const std::size_t cut = tool_path_directory_length(argument);
    // The last part as the system reads it: on Windows "*.jnt." lists what "*.jnt" does.
    const std::size_t kept = tool_path_kept_length(argument);
    TreeWalk walk{std::string(argument, cut), std::string(argument + cut, kept - cut), '\0', false};
    if (walk.pattern.empty()) {
        return result;
    }
    walk.separator = separator_of(walk.prefix);
    // An argument that names an existing file is that file; with --recursive, the
    // entries of that name (compared as patterns compare, with no wildcards) in every
    // subdirectory below are too.
    if (names_existing_file(argument)) {
        ++result.matched;
        visit(argument, nullptr);
        walk.pattern = literal_pattern(walk.pattern);
        walk.skip_top_matches = true;
    } else if (!recursive) {
        walk_directory(walk.prefix, walk.pattern, visit, &result);
    }
    if (recursive) {
        walk_tree(walk, visit, &result);
    }
    return result;
}
