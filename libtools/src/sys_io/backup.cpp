// SPDX-License-Identifier: MIT
// Backups: the old content of a file kept beside it before it is replaced. The copy is
// written under a replacement file's name and renamed to the backup's name in one step,
// so an interrupted run leaves either the old backup or the new one, and at most a
// replacement file that the next run removes.
#include "libtools/tool_sys_io.h"

#include "platform/backup_copy.h"
#include "platform/file_lock.h"
#include "platform/file_system.h"
#include "platform/interrupt.h"
#include "platform/paths.h"
#include "platform/replace.h"
#include "platform/system_error.h"
#include "sys_io/records.h"

#include <cerrno>
#include <new>
#include <string>

namespace {

// Gives the copy the record of the file it copies, whose bytes it holds, so that the
// backup put back in the file's place is known for what it is. True when the copy
// carries it; a backup is made all the same when it cannot.
bool carry_record(const std::string &source, const std::string &copy) noexcept {
    try {
        std::string record;
        return sys_io::read_record_at(source, &record) == platform::RecordResult::found &&
               sys_io::change_record_at(copy, &record) == platform::RecordResult::found;
    } catch (const std::bad_alloc &) {
        return false;
    }
}

// Takes the mark of a replacement file away from the finished copy `path`; false when
// it may still carry one.
bool unmark(const std::string &path) {
    const long long handle = platform::open_mark_handle(path);
    if (handle == -1) {
        return false;
    }
    const platform::RecordResult removed = platform::remove_mark(handle, path);
    platform::close_record_handle(handle);
    return removed == platform::RecordResult::found ||
           removed == platform::RecordResult::unsupported;
}

// The backup's path is the file's path as given plus the suffix, so a backup of a file
// reached through a symbolic link sits beside the link.
// With `expected`, only the file of that identity is backed up. On failure errno tells
// the system's reason (0 when the name leads to another file now).
int make_backup(const char *path, const char *suffix, const ToolFileIdentity *expected) {
    const std::string source = platform::native_path(path);
    const std::string backup = source + suffix;
    std::string resolved;
    platform::TargetFacts facts;
    if (!platform::resolve_final_path(source, &resolved) ||
        !platform::target_facts(resolved, &facts)) {
        return 0;
    }
    if (expected != nullptr &&
        (facts.identity.device != expected->device || facts.identity.index != expected->index)) {
        errno = 0;
        return 0;
    }
    platform::FsStatus existing;
    if (platform::fs_status(backup.c_str(), &existing) &&
        (existing.mode & platform::kFsRegular) == 0) {
        // A directory or device of that name is never replaced.
        errno = (existing.mode & platform::kFsDirectory) != 0 ? EISDIR : EEXIST;
        return 0;
    }
    std::string copy;
    long long held_lock = -1;
    if (!platform::copy_to_new_file(resolved, facts, platform::directory_of(backup), &copy,
                                    &held_lock)) {
        return 0;
    }
    const bool recorded = carry_record(resolved, copy);
    // The backup's name is the user's choice and may have a replacement file's form: it
    // must not carry the mark that lets a sweep remove it. A run ended before the move
    // leaves a copy no sweep removes, never a backup one removes.
    const bool moved =
        unmark(copy) && platform::replace_atomically(copy, backup) == platform::RenameResult::done;
    {
        const platform::SavedError reason;
        if (!moved) {
            platform::remove_file(copy);
        } else if (!recorded) {
            // The move over an older backup may keep the older one's record (Windows
            // keeps the streams that the copy lacks); it describes other bytes.
            try {
                sys_io::change_record_at(backup, nullptr);
            } catch (const std::bad_alloc &) {
            }
        }
        platform::release_temporary(platform::GuardSlot::backup);
        platform::drop_replacement_lock(held_lock);
    }
    return moved && platform::set_permissions(backup, facts) ? 1 : 0;
}

} // namespace

extern "C" {

int tool_backup_file(const char *path, const char *suffix) {
    if (path == nullptr || suffix == nullptr || *suffix == '\0') {
        errno = EINVAL;
        return 0;
    }
    try {
        return make_backup(path, suffix, nullptr);
    } catch (const std::bad_alloc &) {
        errno = ENOMEM;
        return 0;
    }
}

int tool_replace_backup(const ToolReplacement *replacement, const char *path, const char *suffix) {
    if (replacement == nullptr || path == nullptr || suffix == nullptr || *suffix == '\0') {
        errno = EINVAL;
        return 0;
    }
    try {
        return make_backup(path, suffix, &replacement->identity);
    } catch (const std::bad_alloc &) {
        errno = ENOMEM;
        return 0;
    }
}

} // extern "C"
