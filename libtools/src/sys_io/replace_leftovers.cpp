// SPDX-License-Identifier: MIT
// Replacement files left by runs that ended without finishing (a kill, a power
// cut): removed where the target they were made for is whole, reported where
// they may hold the only complete new content.
#include "libtools/tool_dir.h"
#include "libtools/tool_sys_io.h"
#include "platform/file_lock.h"
#include "platform/paths.h"
#include "platform/replace.h"
#include "sys_io/guarded_call.h"

#include <string>

namespace {

// The path of `name` in `directory`, in the system's syntax.
std::string path_in(const std::string &directory, const char *name) {
    const char separator = platform::native_separator();
    if (!directory.empty() && directory.back() == separator) {
        return directory + name;
    }
    return directory + separator + name;
}

// Handles one entry; false when memory ran out.
bool sweep_entry(const std::string &directory, const char *name, StringList *kept, int *removed) {
    platform::ReplacementKind kind = platform::ReplacementKind::rename;
    if (!platform::is_replacement_name(name, &kind)) {
        return true;
    }
    const std::string path = path_in(directory, name);
    const bool remove = kind == platform::ReplacementKind::rename;
    const platform::LeftoverState state = platform::check_leftover(path, remove);
    if (state == platform::LeftoverState::removed) {
        ++*removed;
    } else if (state == platform::LeftoverState::abandoned && !remove && kept != nullptr) {
        return tool_strlist_append(kept, path.c_str()) != 0;
    }
    return true;
}

// Closes a directory scan when it goes out of scope, also when an exception passes.
class OpenScan {
  public:
    explicit OpenScan(ToolDir *dir) : dir_(dir) {}
    ~OpenScan() { tool_closedir(dir_); }
    OpenScan(const OpenScan &) = delete;
    OpenScan &operator=(const OpenScan &) = delete;

  private:
    ToolDir *dir_;
};

int sweep(const char *directory, StringList *kept) {
    ToolDir *dir = tool_opendir(directory);
    if (dir == nullptr) {
        return 0;
    }
    const OpenScan closing(dir);
    int removed = 0;
    bool enough_memory = true;
    for (ToolDirEntry *entry = tool_readdir(dir); entry != nullptr && enough_memory;
         entry = tool_readdir(dir)) {
        enough_memory = sweep_entry(directory, entry->name, kept, &removed);
    }
    return enough_memory ? removed : -1;
}

} // namespace

extern "C" int tool_replace_sweep(const char *directory, StringList *kept) {
    if (directory == nullptr) {
        return 0;
    }
    return sys_io::guarded_call("tool_replace_sweep", -1, [&] { return sweep(directory, kept); });
}
