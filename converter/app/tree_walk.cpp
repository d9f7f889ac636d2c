// SPDX-License-Identifier: MIT
#include "app/tree_walk.h"

#include "app/match_order.h"
#include "terminal/messages.h"
#include "terminal/reason.h"

#include "libtools/tool_dir_handle.h"
#include "libtools/tool_dstring.h"
#include "libtools/tool_sys_io.h"

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

namespace {

// The most directory handles a walk holds open. Deeper, the directory this many levels
// up is released and taken up again on the way back, so a tree of any depth needs no
// more descriptors than this, and each directory is opened a bounded number of times.
constexpr std::size_t kMostOpen = 64;

WalkListedHook listed_hook;

// An entry met by the walk: a match to visit or a subdirectory to enter.
struct Entry {
    std::string name;
    bool identity_known;
    ToolFileIdentity identity;
};

bool comes_before(const Entry &a, const Entry &b) {
    return compare_matches(a.name.c_str(), b.name.c_str()) < 0;
}

// One directory of the path the walk is in.
struct Level {
    ToolDirHandle *dir;
    std::size_t prefix_size;           // of its prefix, at the start of the walk's path
    std::vector<Entry> subdirectories; // in order
    std::size_t next;                  // the subdirectory to enter next
};

// Releases a keyed list when it goes out of scope.
class EntryList {
  public:
    EntryList() = default;
    ~EntryList() { tool_keyed_strlist_free(&list_); }
    EntryList(const EntryList &) = delete;
    EntryList &operator=(const EntryList &) = delete;
    KeyedStringList *get() { return &list_; }

  private:
    KeyedStringList list_ = {0, nullptr, nullptr};
};

class Walker {
  public:
    Walker(const TreeWalk &walk, const WalkVisit &visit, WalkResult *result)
        : walk_(walk), visit_(visit), result_(result) {}
    ~Walker() {
        for (Level &level : levels_) {
            tool_dirh_close(level.dir);
        }
    }
    Walker(const Walker &) = delete;
    Walker &operator=(const Walker &) = delete;

    void run(ToolDirHandle *top);

  private:
    void report(const std::string &prefix, int reason);
    void list(bool visit_matches);
    void take(ToolDirHandle *dir, const char *name, int kind, bool matched,
              std::vector<Entry> *matches, int *unsure);
    void enter();
    void leave();

    const TreeWalk &walk_;
    const WalkVisit &visit_;
    WalkResult *result_;
    std::string path_;          // the prefix of the directory the walk is in
    std::vector<Level> levels_; // from the top to the directory the walk is in
};

void Walker::report(const std::string &prefix, int reason) {
    report_cannot_read_directory(display_name(prefix).c_str(), reason);
    result_->unreadable = true;
}

// Sorts the entry `name` (listed as `kind`) of `dir` into the matches or the
// subdirectories of the directory the walk is in. Its status is asked only when it
// matched or may be a directory; for a match, a link's identity is that of its file.
// `*unsure` is set to the reason when an entry that might be a directory cannot be told.
void Walker::take(ToolDirHandle *dir, const char *name, int kind, bool matched,
                  std::vector<Entry> *matches, int *unsure) {
    const bool may_be_directory = kind == TOOL_ENTRY_DIRECTORY || kind == TOOL_ENTRY_UNKNOWN;
    if (!matched && !may_be_directory) {
        return;
    }
    Entry entry{name, false, {}};
    int directory = 0;
    entry.identity_known =
        tool_dirh_status(dir, name, matched ? 1 : 0, &directory, &entry.identity) != 0;
    if (!entry.identity_known && kind == TOOL_ENTRY_DIRECTORY) {
        report(path_ + name + walk_.separator, errno);
    } else if (!entry.identity_known && may_be_directory && errno != ENOENT) {
        *unsure = errno; // ENOENT: vanished since the listing, nothing is lost
    }
    if (matched) {
        matches->push_back(entry); // its lock tells what became of it when unknown
    }
    if (entry.identity_known && directory != 0) {
        levels_.back().subdirectories.push_back(std::move(entry));
    }
}

// Lists the directory the walk is in: visits its matches (unless `visit_matches` is
// false) and keeps its subdirectories to enter, both in order.
void Walker::list(bool visit_matches) {
    ToolDirHandle *dir = levels_.back().dir;
    EntryList entries;
    if (tool_dirh_read(dir, entries.get()) < 0) {
        report(path_, errno);
        return;
    }
    std::vector<Entry> matches;
    const char *pattern = walk_.pattern.c_str();
    for (const char *dot : {".", ".."}) { // matched and passed over as the scan's are
        if (visit_matches && tool_strmatch(pattern, dot, 1)) {
            matches.push_back(Entry{dot, false, {}});
        }
    }
    int unsure = 0;
    const KeyedStringList *list = entries.get();
    for (int i = 0; i < list->count; ++i) {
        const char *name = list->strings[i];
        take(dir, name, list->keys[i], visit_matches && tool_strmatch(pattern, name, 1), &matches,
             &unsure);
    }
    if (unsure != 0) {
        report(path_, unsure);
    }
    if (listed_hook) {
        listed_hook(display_name(path_));
    }
    std::stable_sort(matches.begin(), matches.end(), comes_before);
    std::vector<Entry> &subdirectories = levels_.back().subdirectories;
    std::stable_sort(subdirectories.begin(), subdirectories.end(), comes_before);
    for (const Entry &match : matches) {
        ++result_->matched;
        visit_(path_ + match.name, match.identity_known ? &match.identity : nullptr);
    }
}

// Enters the next subdirectory of the directory the walk is in, through its handle and
// only when it is still the directory listed.
void Walker::enter() {
    Level &level = levels_.back();
    const Entry &subdirectory = level.subdirectories[level.next++];
    ToolDirHandle *child =
        tool_dirh_open_below(level.dir, subdirectory.name.c_str(), &subdirectory.identity);
    const std::size_t size = path_.size();
    path_ += subdirectory.name;
    path_ += walk_.separator;
    if (child == nullptr) {
        report(path_, errno == 0 ? kReasonNotAsListed : errno);
        path_.resize(size);
        return;
    }
    try {
        levels_.push_back(Level{child, path_.size(), {}, 0});
    } catch (...) {
        tool_dirh_close(child);
        throw;
    }
    if (levels_.size() > kMostOpen) {
        tool_dirh_release(levels_[levels_.size() - 1 - kMostOpen].dir);
    }
    list(true);
}

// Goes back from the directory the walk is in to its parent, taking the parent up
// again when it was released; a parent that is gone from there is reported, and its
// other subdirectories are not entered.
void Walker::leave() {
    ToolDirHandle *done = levels_.back().dir;
    levels_.pop_back();
    if (!levels_.empty()) {
        Level &parent = levels_.back();
        path_.resize(parent.prefix_size);
        if (tool_dirh_resume(parent.dir, done) == 0) {
            report(path_, errno == 0 || errno == EBADF ? kReasonMovedDuringWalk : errno);
            parent.next = parent.subdirectories.size();
        }
    }
    tool_dirh_close(done);
}

void Walker::run(ToolDirHandle *top) {
    try {
        levels_.push_back(Level{top, walk_.prefix.size(), {}, 0});
    } catch (...) {
        tool_dirh_close(top);
        throw;
    }
    path_ = walk_.prefix;
    list(!walk_.skip_top_matches);
    while (!levels_.empty()) {
        const Level &level = levels_.back();
        if (level.next < level.subdirectories.size()) {
            enter();
        } else {
            leave();
        }
    }
}

} // namespace

std::string display_name(const std::string &prefix) {
    const std::size_t size = prefix.size();
    if (size == 0) {
        return ".";
    }
    const char last = prefix[size - 1];
    const bool keep = size == 1 || prefix[size - 2] == ':' || (last != '/' && last != '\\');
    return keep ? prefix : prefix.substr(0, size - 1);
}

std::string scan_path(const std::string &prefix) {
    return prefix + ".";
}

void set_walk_listed_hook(WalkListedHook hook) {
    listed_hook = std::move(hook);
}

void walk_tree(const TreeWalk &walk, const WalkVisit &visit, WalkResult *result) {
    ToolDirHandle *top = tool_dirh_open(scan_path(walk.prefix).c_str());
    if (top == nullptr) {
        const int reason = errno;
        // Asked of the directory itself: its "." entry cannot be reached when it is
        // not searchable.
        if (tool_is_directory(walk.prefix.empty() ? "." : walk.prefix.c_str())) {
            report_cannot_read_directory(display_name(walk.prefix).c_str(), reason);
            result->unreadable = true;
        } else if (result->unread_directory.empty()) {
            result->unread_directory = display_name(walk.prefix);
            result->unread_reason = reason;
        }
        return;
    }
    Walker walker(walk, visit, result);
    walker.run(top);
}
