// SPDX-License-Identifier: MIT
#include "app/argument_walk.h"

#include "file/argument_match.h"
#include "terminal/messages.h"

#include "libtools/tool_dir.h"
#include "libtools/tool_sys_io.h"

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

struct Walk {
    std::string pattern;
    char separator; // written between a directory part and a subdirectory
    bool recursive;
    const std::function<void(const std::string &)> &visit;
    WalkResult result;
};

// The directory to scan for a directory part as written: the part followed by ".", so
// that no part gives "." and a bare drive ("C:") keeps its meaning.
std::string scan_path(const std::string &prefix) {
    return prefix + ".";
}

// The directory part as a message names it: "." for none, else without its closing
// separator unless that is all there is of it ("/", "C:\\").
std::string display_name(const std::string &prefix) {
    const std::size_t size = prefix.size();
    if (size == 0) {
        return ".";
    }
    const char last = prefix[size - 1];
    const bool keep = size == 1 || prefix[size - 2] == ':' || (last != '/' && last != '\\');
    return keep ? prefix : prefix.substr(0, size - 1);
}

bool is_dot_entry(const char *name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// The subdirectories of `prefix` that the walk enters: real directories, not links to
// them, in listing order, each named with its closing separator.
std::vector<std::string> subdirectories(const std::string &prefix, char separator) {
    std::vector<std::string> found;
    ToolDir *dir = tool_opendir(scan_path(prefix).c_str());
    for (ToolDirEntry *entry = tool_readdir(dir); entry != nullptr; entry = tool_readdir(dir)) {
        const std::string path = prefix + entry->name;
        if (!is_dot_entry(entry->name) && !tool_is_link(path.c_str()) &&
            tool_is_directory(path.c_str())) {
            found.push_back(path + separator);
        }
    }
    if (dir != nullptr) {
        tool_closedir(dir);
    }
    return found;
}

// Keeps why the argument's own directory `prefix` could not be listed, for the message
// that tells it matched nothing.
void note_unread(Walk *walk, const std::string &prefix, int reason) {
    if (walk->result.unread_directory.empty()) {
        walk->result.unread_directory = display_name(prefix);
        walk->result.unread_reason = reason;
    }
}

// Visits the matches in the directory `prefix`; false, with `*reason` telling why, when
// it cannot be listed.
bool visit_matches(Walk *walk, const std::string &prefix, int *reason) {
    const std::string directory = scan_path(prefix);
    if (walk->recursive && !tool_can_list_directory(directory.c_str())) {
        *reason = errno;
        return false;
    }
    NameList matches;
    const int count = tool_expand_pattern(matches.get(), walk->pattern.c_str(), directory.c_str());
    if (count == 0 && !walk->recursive && !tool_can_list_directory(directory.c_str())) {
        note_unread(walk, prefix, errno); // the expansion says no more than "nothing"
    }
    for (int i = 0; i < matches.get()->count; ++i) {
        const char *name = matches.get()->items[i];
        if (name == nullptr) {
            walk->result.lost = true;
        } else {
            ++walk->result.matched;
            walk->visit(prefix + name);
        }
    }
    return true;
}

void walk_directory(Walk *walk, const std::string &prefix) {
    int reason = 0;
    if (!visit_matches(walk, prefix, &reason)) {
        // Asked of the directory itself: its "." entry cannot be reached when it is
        // not searchable.
        if (tool_is_directory(prefix.empty() ? "." : prefix.c_str())) {
            report_cannot_read_directory(display_name(prefix).c_str(), reason);
            walk->result.unreadable = true;
        } else {
            note_unread(walk, prefix, reason);
        }
        return;
    }
    if (walk->recursive) {
        for (const std::string &subdirectory : subdirectories(prefix, walk->separator)) {
            walk_directory(walk, subdirectory);
        }
    }
}

// The separator the argument itself uses, so that names below it read alike; the
// system's when the argument has none.
char separator_of(const std::string &prefix) {
    const char last = prefix.empty() ? '\0' : prefix[prefix.size() - 1];
    return last == '/' || last == '\\' ? last : tool_path_separator();
}

// An argument that names an existing file: that file, then with --recursive the
// entries of that name (compared as patterns compare, but with no wildcards) in every
// subdirectory below.
void walk_literal(Walk *walk, const char *argument, const std::string &prefix) {
    ++walk->result.matched;
    walk->visit(argument);
    if (!walk->recursive) {
        return;
    }
    walk->pattern = literal_pattern(walk->pattern);
    for (const std::string &subdirectory : subdirectories(prefix, walk->separator)) {
        walk_directory(walk, subdirectory);
    }
}

} // namespace

WalkResult walk_argument(const char *argument, bool recursive,
                         const std::function<void(const std::string &name)> &visit) {
    const std::size_t cut = tool_path_directory_length(argument);
    const std::string prefix(argument, cut);
    Walk walk{argument + cut, separator_of(prefix), recursive, visit, WalkResult{}};
    if (walk.pattern.empty()) {
        return walk.result;
    }
    if (names_existing_file(argument)) {
        walk_literal(&walk, argument, prefix);
    } else {
        walk_directory(&walk, prefix);
    }
    return walk.result;
}
