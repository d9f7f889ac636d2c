// SPDX-License-Identifier: MIT
// The safe replacement of a file: the target held locked from the first read to
// the commit, new content in a file of its own, renamed over the target (or, where
// a rename would lose something, copied into it) only when all of it is on disk.
#include "platform/replace.h"
#include "libtools/tool_memory.h"
#include "libtools/tool_sys_io.h"
#include "platform/file_lock.h"
#include "platform/file_system.h"
#include "platform/interrupt.h"
#include "platform/paths.h"
#include "platform/system_error.h"
#include "platform/write_back.h"
#include "sys_io/guarded_call.h"
#include "sys_io/records.h"
#include "sys_io/replace_batch.h"
#include "sys_io/source_tag.h"

#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::FILE *stream_of(const ToolReplacement *replacement) {
    return static_cast<std::FILE *>(replacement->stream);
}

platform::LockedTarget locked_target_of(const ToolReplacement *replacement) {
    platform::LockedTarget locked;
    locked.handle = replacement->locked ? replacement->lock : -1;
    locked.identity = {replacement->identity.device, replacement->identity.index};
    return locked;
}

void unlock(ToolReplacement *replacement) {
    platform::LockedTarget locked = locked_target_of(replacement);
    platform::unlock_target(&locked);
    replacement->locked = 0;
}

// A tracked copy of `text`; null with errno ENOMEM when memory ran out. Unlike
// tool_strdup it prints nothing: the caller reports the failure with its reason.
char *copy_of(const std::string &text) {
    auto *copy =
        static_cast<char *>(tool_malloc(static_cast<unsigned>(text.size() + 1), SYS_IO_HERE));
    if (copy == nullptr) {
        errno = ENOMEM;
        return nullptr;
    }
    std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

// Guards the replacement's file `path` against interrupts in the replacement's own
// slot, taking one the first time.
void guard(ToolReplacement *replacement, const std::string &path) {
    if (replacement->guard == 0) {
        replacement->guard = platform::take_replacement_slot();
    }
    if (replacement->guard != 0) {
        platform::guard_temporary(path, replacement->guard);
    }
}

void release_guard(ToolReplacement *replacement) {
    platform::return_replacement_slot(replacement->guard);
    replacement->guard = 0;
}

bool is_copy_kind(const char *temporary) {
    platform::ReplacementKind kind = platform::ReplacementKind::rename;
    const std::string name = platform::name_of(temporary);
    return platform::is_replacement_name(name.c_str(), &kind) &&
           kind == platform::ReplacementKind::copy;
}

// Gives a replacement file that will be copied into its target the name of that kind,
// so that a run that finds it abandoned keeps it. False when it could not be renamed.
bool retag_as_copy(ToolReplacement *replacement) {
    if (is_copy_kind(replacement->temporary)) {
        return true;
    }
    const std::string old_path = replacement->temporary;
    const std::string directory = platform::directory_of(old_path);
    const std::string separator(1, platform::native_separator());
    const std::string new_path = directory + (directory.back() == separator[0] ? "" : separator) +
                                 platform::replacement_name(platform::ReplacementKind::copy);
    char *kept = copy_of(new_path);
    if (kept == nullptr || !platform::fs_rename(old_path.c_str(), new_path.c_str())) {
        const platform::SavedError reason;
        tool_strfree(&kept);
        return false;
    }
    guard(replacement, new_path);
    tool_strfree(&replacement->temporary);
    replacement->temporary = kept;
    return true;
}

// Opens the file that will receive the new content: beside the target when the
// system allows it, else in the temporary directory (and then the commit copies).
std::FILE *open_beside_or_elsewhere(ToolReplacement *replacement,
                                    const platform::TargetFacts &facts, std::string *created) {
    const std::string target = replacement->target;
    const platform::ReplacementKind kind =
        facts.several_links ? platform::ReplacementKind::copy : platform::ReplacementKind::rename;
    bool kept_owner = false;
    std::FILE *stream = platform::create_replacement(platform::directory_of(target), kind, facts,
                                                     created, &kept_owner);
    if (stream == nullptr) {
        replacement->in_place = 1;
        return platform::create_replacement(platform::temporary_directory(),
                                            platform::ReplacementKind::copy, facts, created,
                                            &kept_owner);
    }
    replacement->in_place = !kept_owner || facts.several_links ? 1 : 0;
    return stream;
}

// Creates the replacement file of a locked target; false, with errno telling why (0
// when the target was changed since it was locked), when it could not.
bool open_replacement(ToolReplacement *replacement) {
    platform::TargetFacts facts;
    if (!platform::target_facts(replacement->target, &facts)) {
        return false;
    }
    if (facts.identity.device != replacement->identity.device ||
        facts.identity.index != replacement->identity.index) {
        errno = 0; // another file has the name now: no system error to tell
        return false;
    }
    // An interrupt waits until the new file is guarded: it would otherwise end the run
    // between the file's creation and its guard, and leave the file behind.
    std::string created;
    std::FILE *stream = nullptr;
    {
        // The hold ends also when an exception passes.
        const platform::InterruptHold hold;
        stream = open_beside_or_elsewhere(replacement, facts, &created);
        if (stream != nullptr) {
            guard(replacement, created);
        }
    }
    if (stream == nullptr) {
        return false;
    }
    replacement->stream = stream;
    replacement->temporary = copy_of(created);
    if (replacement->temporary == nullptr) {
        const platform::SavedError reason;
        platform::close_stream(stream);
        replacement->stream = nullptr;
        platform::remove_file(created);
        release_guard(replacement);
        return false;
    }
    // A replacement in another directory, or one copied in place, keeps the target's
    // own attributes; one that is renamed over the target must take them along.
    if (!replacement->in_place) {
        if (!platform::copy_attributes(replacement->lock, stream)) {
            return false;
        }
    } else if (!retag_as_copy(replacement)) {
        return false;
    }
    return true;
}

bool close_replacement_stream(ToolReplacement *replacement) {
    std::FILE *stream = stream_of(replacement);
    replacement->stream = nullptr;
    return stream == nullptr || platform::close_stream(stream);
}

// Copies the finished content over the target in place. DONE; FAILED when the copy
// failed before the target changed; KEPT when it failed later (the new content then
// stays in the replacement file, which is not removed).
int commit_by_copy(ToolReplacement *replacement) {
    if (!retag_as_copy(replacement)) {
        return TOOL_REPLACE_FAILED;
    }
    platform::hold_interrupts();
    const platform::CopyResult copied =
        platform::copy_over(replacement->temporary, replacement->target,
                            {replacement->identity.device, replacement->identity.index});
    const platform::SavedError reason;
    platform::resume_interrupts();
    if (copied == platform::CopyResult::unchanged) {
        return TOOL_REPLACE_FAILED;
    }
    if (copied == platform::CopyResult::torn) {
        replacement->kept = 1;
        release_guard(replacement);
        return TOOL_REPLACE_KEPT;
    }
    return TOOL_REPLACE_DONE;
}

// Moves the finished replacement over the target. DONE, FAILED, or kRefused when the
// directory refused the move and the content should be copied instead.
constexpr int kRefused = -2;
int commit_by_rename(ToolReplacement *replacement, bool sync_directory) {
    // The target stays locked through the move: a run waiting for it then finds its
    // name leading to the new file. (On Windows the lock's handle allows deletion, so
    // the replacement may go ahead; where a system refuses, the copy in place below
    // runs under the same lock.)
    const platform::RenameResult renamed =
        sync_directory
            ? platform::replace_atomically(replacement->temporary, replacement->target)
            : platform::replace_leaving_directory_sync(replacement->temporary, replacement->target);
    if (renamed == platform::RenameResult::refused) {
        return kRefused;
    }
    if (renamed == platform::RenameResult::failed) {
        return TOOL_REPLACE_FAILED;
    }
    // The replacement is the target now: its name is gone, so nothing is left to remove.
    release_guard(replacement);
    tool_strfree(&replacement->temporary);
    return TOOL_REPLACE_DONE;
}

// Puts the synced and closed replacement in place: renamed over the target with the
// record it carries, or copied into the target, which then gets the record.
int put_in_place(ToolReplacement *replacement, bool sync_directory) {
    int result = replacement->in_place ? kRefused : commit_by_rename(replacement, sync_directory);
    if (result == kRefused) {
        result = commit_by_copy(replacement);
        if (result == TOOL_REPLACE_DONE) {
            sys_io::record_onto_target(replacement);
        }
    } else if (result == TOOL_REPLACE_DONE) {
        sys_io::settle_record_after_rename(replacement);
    }
    return result;
}

// Syncs (unless tool_replace_sync_all did) and closes the replacement file, keeping its
// lock, and puts it in place. A replacement to be renamed gets its record first, so the
// sync puts both on disk. On failure errno holds the reason of the first step that
// failed.
int commit(ToolReplacement *replacement, bool sync_directory) {
    std::FILE *stream = stream_of(replacement);
    replacement->stream = nullptr;
    if (!replacement->in_place && !replacement->synced) {
        sys_io::record_onto_replacement(replacement, stream);
    }
    errno = 0;
    const bool synced = replacement->synced || platform::flush_and_sync(stream);
    const int sync_error = errno;
    const long long held = platform::hold_replacement_lock(stream);
    errno = 0;
    const bool closed = platform::close_stream(stream);
    int result = TOOL_REPLACE_FAILED;
    if (synced && closed) {
        result = put_in_place(replacement, sync_directory);
    } else if (!synced) {
        errno = sync_error;
    }
    const platform::SavedError reason;
    platform::drop_replacement_lock(held);
    return result;
}

int lock(ToolReplacement *replacement, const char *path, bool wait) {
    *replacement = ToolReplacement{};
    platform::ignore_write_signals();
    platform::LockedTarget locked;
    const std::string native = platform::native_path(path);
    if (native.empty() && *path != '\0') {
        return TOOL_LOCK_CANNOT_OPEN; // no memory to copy the path (errno ENOMEM)
    }
    const platform::LockResult result = platform::lock_target(native, &locked, wait);
    if (result == platform::LockResult::busy) {
        return TOOL_LOCK_BUSY;
    }
    if (result == platform::LockResult::not_regular) {
        return TOOL_LOCK_NOT_REGULAR;
    }
    if (result == platform::LockResult::untrusted_link) {
        return TOOL_LOCK_UNTRUSTED_LINK;
    }
    if (result != platform::LockResult::locked) {
        return TOOL_LOCK_CANNOT_OPEN;
    }
    replacement->locked = 1;
    replacement->lock = locked.handle;
    replacement->identity = {locked.identity.device, locked.identity.index};
    std::string target;
    if (!platform::resolve_final_path(native, &target) ||
        (replacement->target = copy_of(target)) == nullptr) {
        const platform::SavedError reason;
        tool_replace_abandon(replacement);
        return TOOL_LOCK_CANNOT_OPEN;
    }
    return TOOL_LOCK_DONE;
}

} // namespace

extern "C" {

int tool_file_identity(const char *path, ToolFileIdentity *identity) {
    return sys_io::guarded_call("tool_file_identity", 0, [&] {
        platform::TargetFacts facts;
        if (path == nullptr || identity == nullptr ||
            !platform::target_facts(platform::native_path(path), &facts)) {
            return 0;
        }
        identity->device = facts.identity.device;
        identity->index = facts.identity.index;
        return 1;
    });
}

int tool_replace_lock(ToolReplacement *replacement, const char *path) {
    if (replacement == nullptr || path == nullptr) {
        errno = EINVAL;
        return TOOL_LOCK_CANNOT_OPEN;
    }
    const int result = sys_io::guarded_call("tool_replace_lock", -100,
                                            [&] { return lock(replacement, path, true); });
    if (result == -100) {
        const platform::SavedError reason;
        tool_replace_abandon(replacement);
        return TOOL_LOCK_CANNOT_OPEN;
    }
    return result;
}

int tool_replace_input(const ToolReplacement *replacement, const char *path, const char *mode,
                       ToolStream *stream) {
    if (stream == nullptr) {
        errno = EINVAL;
        return TOOL_LOCK_CANNOT_OPEN;
    }
    *stream = nullptr;
    if (replacement == nullptr || !replacement->locked || path == nullptr || mode == nullptr) {
        errno = EINVAL;
        return TOOL_LOCK_CANNOT_OPEN;
    }
    int refusal = 0;
    *stream = zfile_open_same_file(path, mode, replacement->identity.device,
                                   replacement->identity.index, &refusal);
    if (*stream != nullptr) {
        return TOOL_LOCK_DONE;
    }
    return refusal == 1 ? TOOL_LOCK_NOT_REGULAR : TOOL_LOCK_CANNOT_OPEN;
}

int tool_replace_open(ToolReplacement *replacement, const char *path) {
    if (replacement == nullptr || path == nullptr) {
        errno = EINVAL;
        return 0;
    }
    if (!replacement->locked && tool_replace_lock(replacement, path) != TOOL_LOCK_DONE) {
        return 0;
    }
    const bool opened = sys_io::guarded_call("tool_replace_open", false,
                                             [&] { return open_replacement(replacement); });
    if (!opened) {
        // The target stays locked for the caller; only the replacement file goes.
        const platform::SavedError reason;
        close_replacement_stream(replacement);
        if (replacement->temporary != nullptr) {
            platform::remove_file(replacement->temporary);
            release_guard(replacement);
            tool_strfree(&replacement->temporary);
        }
        replacement->in_place = 0;
    }
    return opened ? 1 : 0;
}

int tool_replace_write(ToolReplacement *replacement, const char *data, unsigned size) {
    if (replacement == nullptr || replacement->stream == nullptr || replacement->failed) {
        errno = replacement != nullptr && replacement->failed ? 0 : EINVAL; // told once
        return 0;
    }
    if (size > 0 && data == nullptr) {
        errno = EINVAL;
        replacement->failed = 1;
        return 0;
    }
    if (size > 0 && !platform::write_all(stream_of(replacement), data, size)) {
        replacement->failed = 1;
        return 0;
    }
    replacement->written_size += size;
    replacement->written_crc =
        crc32(replacement->written_crc, reinterpret_cast<const Bytef *>(data), size);
    return 1;
}

int tool_replace_commit(ToolReplacement *replacement) {
    return sys_io::commit_replacement(replacement, true);
}

int tool_replace_commit_batched(ToolReplacement *replacement) {
    return sys_io::commit_replacement(replacement, false);
}

int tool_replace_try_lock(ToolReplacement *replacement, const char *path) {
    if (replacement == nullptr || path == nullptr) {
        errno = EINVAL;
        return TOOL_LOCK_CANNOT_OPEN;
    }
    const int result = sys_io::guarded_call("tool_replace_try_lock", -100,
                                            [&] { return lock(replacement, path, false); });
    if (result == -100) {
        const platform::SavedError reason;
        tool_replace_abandon(replacement);
        return TOOL_LOCK_CANNOT_OPEN;
    }
    return result;
}

} // extern "C"

int sys_io::commit_replacement(ToolReplacement *replacement, bool sync_directory) {
    if (replacement == nullptr) {
        errno = EINVAL;
        return TOOL_REPLACE_FAILED;
    }
    replacement->record_kept = 0;
    if (!replacement->synced || replacement->in_place) { // else start_sync wrote the record
        replacement->record_status = TOOL_RECORD_FAILED;
    }
    if (replacement->stream == nullptr || replacement->failed) {
        errno = replacement->failed ? 0 : EINVAL; // a failed write told its reason
        return TOOL_REPLACE_FAILED;
    }
    const int result =
        sys_io::guarded_call("tool_replace_commit", static_cast<int>(TOOL_REPLACE_FAILED),
                             [&] { return commit(replacement, sync_directory); });
    if (result != TOOL_REPLACE_DONE) {
        replacement->record_status = TOOL_RECORD_FAILED;
    }
    replacement->record_kept = replacement->record_status == TOOL_RECORD_FOUND ? 1 : 0;
    return result;
}

extern "C" {

void tool_replace_abandon(ToolReplacement *replacement) {
    if (replacement == nullptr) {
        return;
    }
    close_replacement_stream(replacement);
    if (replacement->temporary != nullptr && !replacement->kept) {
        platform::remove_file(replacement->temporary);
        release_guard(replacement);
    }
    release_guard(replacement);
    unlock(replacement);
    tool_strfree(&replacement->target);
    tool_strfree(&replacement->temporary);
    tool_strfree(&replacement->record);
    *replacement = ToolReplacement{};
}

void tool_ignore_write_signals(void) {
    platform::ignore_write_signals();
}

int tool_is_replacement_name(const char *name) {
    return platform::is_replacement_name(name, nullptr) ? 1 : 0;
}

void tool_replace_fail_nth(int operation, long n) {
    tool_replace_fail_nth_error(operation, n, EIO);
}

void tool_replace_fail_nth_error(int operation, long n, int error) {
    if (operation >= 0 && operation < static_cast<int>(platform::FileOperation::count)) {
        platform::fail_nth_file_operation(static_cast<platform::FileOperation>(operation), n,
                                          error);
    }
}

} // extern "C"
