// SPDX-License-Identifier: MIT
// Replacement files left by runs that ended without finishing (a kill, a power
// cut): removed where they carry the toolkit's mark and the target they were made
// for is whole, reported where they may hold the only complete new content, and
// left alone where nothing shows they are the toolkit's.
#include "libtools/tool_dir.h"
#include "libtools/tool_sys_io.h"
#include "platform/file_lock.h"
#include "platform/file_record.h"
#include "platform/paths.h"
#include "platform/replace.h"
#include "sys_io/guarded_call.h"
#include "sys_io/records.h"

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

// What the mark of the abandoned replacement file `path` says; false when it carries
// none that the toolkit wrote (or it cannot be read).
bool mark_of(const std::string &path, platform::MarkFacts *facts) {
    const long long handle = platform::open_mark_handle(path);
    if (handle == -1) {
        return false;
    }
    std::string text;
    const platform::RecordResult read = platform::read_mark(handle, path, &text);
    platform::close_record_handle(handle);
    return read == platform::RecordResult::found && platform::read_replacement_mark(text, facts);
}

enum class Verdict { leave, remove, keep };

// What becomes of an abandoned replacement file of `kind`. Only a marked file is the
// toolkit's: one to be renamed, and a copy that never reached its target or reached
// it in full, go; a copy whose complete content may have reached it in part stays. A
// copy without a mark (its file system keeps none) stays too, as it may be one; any
// other unmarked file of that form is a user's.
Verdict verdict_on(const std::string &path, platform::ReplacementKind kind) {
    platform::MarkFacts facts;
    if (!mark_of(path, &facts)) {
        return kind == platform::ReplacementKind::copy ? Verdict::keep : Verdict::leave;
    }
    if (kind == platform::ReplacementKind::copy && facts.state == platform::MarkState::complete) {
        return Verdict::keep;
    }
    return Verdict::remove;
}

// Handles one entry; false when memory ran out.
bool sweep_entry(const std::string &directory, const char *name, StringList *kept, int *removed) {
    platform::ReplacementKind kind = platform::ReplacementKind::rename;
    if (!platform::is_replacement_name(name, &kind)) {
        return true;
    }
    const std::string path = path_in(directory, name);
    if (platform::check_leftover(path, false) != platform::LeftoverState::abandoned) {
        return true; // its writer lives, or it is no regular file
    }
    const Verdict verdict = verdict_on(path, kind);
    if (verdict == Verdict::remove &&
        platform::check_leftover(path, true) == platform::LeftoverState::removed) {
        ++*removed;
    } else if (verdict == Verdict::keep && kept != nullptr) {
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

extern "C" {

int tool_replace_sweep(const char *directory, StringList *kept) {
    if (directory == nullptr) {
        return 0;
    }
    return sys_io::guarded_call("tool_replace_sweep", -1, [&] {
        const std::string where = *directory != '\0' ? directory : platform::temporary_directory();
        return sweep(where.c_str(), kept);
    });
}

int tool_replace_copy_target(const char *path, ToolFileIdentity *identity, char **target) {
    if (path == nullptr || identity == nullptr || target == nullptr) {
        return 0;
    }
    return sys_io::guarded_call("tool_replace_copy_target", 0, [&] {
        platform::MarkFacts facts;
        if (!mark_of(path, &facts) || facts.state != platform::MarkState::complete ||
            !sys_io::store_text(target, facts.target_path.c_str(), facts.target_path.size(),
                                "tool_replace_copy_target")) {
            return 0;
        }
        identity->device = facts.target.device;
        identity->index = facts.target.index;
        return 1;
    });
}

} // extern "C"
