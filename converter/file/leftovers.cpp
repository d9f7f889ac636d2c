// SPDX-License-Identifier: MIT
#include "file/leftovers.h"

#include "file/file_directory.h"
#include "terminal/held_messages.h"
#include "terminal/messages.h"

#include "libtools/tool_sys_io.h"

#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <vector>

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

// The directories swept so far, and the warnings each sweep has to give, written by the
// first file of the run (in the run's order) that reaches it. Files are converted on
// several threads: everything here is under `sweeps_lock`.
std::mutex sweeps_lock;
std::set<std::string> visited;
std::map<std::string, HeldMessages> warnings;
std::set<std::string> warned;

// The copies kept by the sweeps whose complete content may have reached their target
// in part: the target's identity and path, and the copy. Under `sweeps_lock`.
struct PendingCopy {
    ToolFileIdentity target;
    std::string target_path;
    std::string copy;
};
std::vector<PendingCopy> pending;

// Whether `directory` is met for the first time in this run.
bool first_visit(const char *directory) {
    try {
        return visited.insert(directory).second;
    } catch (const std::bad_alloc &) {
        return true; // sweeping again is harmless
    }
}

// Notes in `pending` the copy at `path` when it waits to be put in place.
void note_pending(const char *path) {
    ToolFileIdentity target = {};
    char *target_path = nullptr;
    if (tool_replace_copy_target(path, &target, &target_path)) {
        try {
            pending.push_back({target, target_path, path});
        } catch (const std::bad_alloc &) {
            report_out_of_memory();
        }
    }
    tool_strfree(&target_path);
}

void report_kept(StringList *kept) {
    for (int i = 0; i < kept->count; ++i) {
        report_leftover_kept(kept->items[i]);
        note_pending(kept->items[i]);
    }
}

// Sweeps `directory` the first time, its warnings held in `held` (or written at once
// when null); the first sweep of the run also sweeps the temporary directory (""),
// where copies are made for files whose own directory takes none. `sweeps_lock` is
// held.
void sweep_first_time(const char *directory, HeldMessages *held) {
    for (const char *where : {"", directory}) {
        if (first_visit(where)) {
            PathList kept;
            tool_replace_sweep(where, kept.get());
            const MessageCapture capture(held);
            report_kept(kept.get());
        }
    }
}

bool same_file(const ToolFileIdentity &a, const ToolFileIdentity &b) {
    return a.device == b.device && a.index == b.index;
}

} // namespace

void sweep_leftovers_held(const char *target) {
    char *directory = file_directory(target);
    if (directory == nullptr) {
        return;
    }
    try {
        const std::lock_guard<std::mutex> hold(sweeps_lock);
        HeldMessages *held = held_messages();
        if (held == nullptr || !held->add_point(directory)) {
            sweep_first_time(directory, nullptr); // no capture: written at once
        } else {
            sweep_first_time(directory, &warnings[directory]);
        }
    } catch (const std::bad_alloc &) {
        report_out_of_memory();
    }
    tool_strfree(&directory);
}

void write_leftover_warnings(const std::string &directory) {
    HeldMessages taken;
    {
        const std::lock_guard<std::mutex> hold(sweeps_lock);
        const auto found = warnings.find(directory);
        if (found == warnings.end() || !warned.insert(directory).second) {
            return;
        }
        std::swap(taken, found->second);
    }
    taken.write(nullptr);
}

void sweep_leftovers_beside(const char *target) {
    char *directory = file_directory(target);
    if (directory == nullptr) {
        return;
    }
    {
        const std::lock_guard<std::mutex> hold(sweeps_lock);
        sweep_first_time(directory, nullptr);
    }
    tool_strfree(&directory);
}

bool refuse_if_copy_pending(const char *name, const ToolReplacement &locked) {
    std::string copy;
    {
        const std::lock_guard<std::mutex> hold(sweeps_lock);
        for (const PendingCopy &waiting : pending) {
            if (same_file(waiting.target, locked.identity) ||
                (locked.target != nullptr && waiting.target_path == locked.target)) {
                copy = waiting.copy;
                break;
            }
        }
    }
    if (copy.empty()) {
        return false;
    }
    report_copy_pending(name, copy.c_str());
    return true;
}

bool is_skipped_name(const char *name) {
    char *base = tool_path_basename(name);
    const char *last = base != nullptr ? base : name;
    const bool skipped = std::strcmp(last, ".") == 0 || std::strcmp(last, "..") == 0 ||
                         tool_is_replacement_name(last) != 0;
    tool_strfree(&base);
    return skipped;
}
