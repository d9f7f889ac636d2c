// SPDX-License-Identifier: MIT
#include "file/leftovers.h"

#include "terminal/held_messages.h"
#include "terminal/messages.h"

#include "libtools/tool_sys_io.h"

#include <cstring>
#include <map>
#include <mutex>
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

// The directories swept so far, and the warnings each sweep has to give, written by the
// first file of the run (in the run's order) that reaches it. Files are converted on
// several threads: everything here is under `sweeps_lock`.
std::mutex sweeps_lock;
std::set<std::string> visited;
std::map<std::string, HeldMessages> warnings;
std::set<std::string> warned;

// Whether `directory` is met for the first time in this run.
bool first_visit(const char *directory) {
    try {
        return visited.insert(directory).second;
    } catch (const std::bad_alloc &) {
        return true; // sweeping again is harmless
    }
}

void report_kept(StringList *kept) {
    for (int i = 0; i < kept->count; ++i) {
        report_leftover_kept(kept->items[i]);
    }
}

// Sweeps `directory` the first time, its warnings held in `held` (or written at once
// when null). `sweeps_lock` is held.
void sweep_first_time(const char *directory, HeldMessages *held) {
    if (first_visit(directory)) {
        PathList kept;
        tool_replace_sweep(directory, kept.get());
        const MessageCapture capture(held);
        report_kept(kept.get());
    }
}

// The directory of `target` as a new heap string ("/" for the root); null when memory
// ran out.
char *directory_of(const char *target) {
    char *directory = tool_path_dirname(target);
    if (directory != nullptr && *directory == '\0') {
        tool_strcpy(&directory, "/"); // a file in the root directory
    }
    return directory;
}

} // namespace

void sweep_leftovers_held(const char *target) {
    char *directory = directory_of(target);
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
    char *directory = directory_of(target);
    if (directory == nullptr) {
        return;
    }
    {
        const std::lock_guard<std::mutex> hold(sweeps_lock);
        sweep_first_time(directory, nullptr);
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
