// SPDX-License-Identifier: MIT
// The safe replacement of a file: the target held locked from the first read to
// the commit, new content in a file of its own, renamed over the target (or, where
// a rename would lose something, copied into it) only when all of it is on disk.
#include "platform/replace.h"
#include "libtools/tool_memory.h"
#include "libtools/tool_sys_io.h"
#include "platform/directory_sync.h"
#include "platform/file_lock.h"
#include "platform/file_record.h"
#include "platform/file_state.h"
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

// Gives the replacement file, open as `handle`, the mark of a replacement that got as
// far as `state`. Never throws: it runs inside a commit whose outcome must not change
// with it, and a mark that cannot be built (no memory) is one not written.
platform::RecordResult mark_as(const ToolReplacement *replacement, long long handle,
                               platform::MarkState state, bool durable) noexcept {
    try {
        const std::string mark = platform::replacement_mark(
            state, {replacement->identity.device, replacement->identity.index},
            replacement->target);
        return platform::write_mark(handle, replacement->temporary, mark, durable);
    } catch (...) {
        return platform::RecordResult::failed;
    }
}

// A handle for the marks of a closed replacement file: the one that holds its lock, or
// one opened for the purpose (closed with this object).
class MarkHandle {
  public:
    MarkHandle(long long held, const std::string &path)
        : handle_(held != -1 ? held : platform::open_record_handle(path)), own_(held == -1) {}
    ~MarkHandle() {
        if (own_) {
            platform::close_record_handle(handle_);
        }
    }
    MarkHandle(const MarkHandle &) = delete;
    MarkHandle &operator=(const MarkHandle &) = delete;
    long long get() const { return handle_; }

  private:
    long long handle_;
    bool own_;
};

// Tells a later run, durably, that the copy holds the complete new content, before its
// first byte reaches the target: a run killed during the copy then leaves a copy that
// the next run keeps, and a target it refuses. Where that cannot be told the copy
// loses its mark, so that no run takes it for an incomplete one and removes it. False
// (nothing copied yet) when even that failed.
bool mark_complete(const ToolReplacement *replacement, long long held) {
    const std::string path = replacement->temporary;
    const MarkHandle handle(held, path);
    if (handle.get() == -1) {
        return false;
    }
    const platform::RecordResult written =
        mark_as(replacement, handle.get(), platform::MarkState::complete, true);
    if (written == platform::RecordResult::found ||
        written == platform::RecordResult::unsupported) {
        return true;
    }
    const platform::SavedError reason;
    return platform::remove_mark(handle.get(), path) == platform::RecordResult::found;
}

// Marks the replacement, whose file `path` is open as `held` (or not, -1), as `state`,
// or (`state` null) takes its mark away. Never throws, as mark_as.
void settle_mark(const ToolReplacement *replacement, const char *path, long long held,
                 const platform::MarkState *state) noexcept {
    try {
        const std::string name = path;
        const MarkHandle handle(held, name);
        if (handle.get() == -1) {
            return;
        }
        if (state != nullptr) {
            mark_as(replacement, handle.get(), *state, false);
        } else {
            platform::remove_mark(handle.get(), name);
        }
    } catch (...) {
    }
}

// Whether another program changed the locked target since it was locked: its size or
// times, or the file its name leads to. Asked under the lock, right before the new
// content takes its place. A system that cannot tell counts as no change.
bool target_changed(const ToolReplacement *replacement) {
    if (!replacement->opened.known) {
        return false;
    }
    platform::TargetFacts facts;
    const bool same_name = platform::target_facts(replacement->target, &facts) &&
                           facts.identity.device == replacement->identity.device &&
                           facts.identity.index == replacement->identity.index;
    // The name leads to the locked file: its facts tell its state where they hold it.
    platform::FileState now = facts.state;
    if (same_name && !facts.state_known && !platform::state_of_handle(replacement->lock, &now)) {
        return false;
    }
    return !same_name || now.size != replacement->opened.size ||
           now.modified != replacement->opened.modified ||
           now.changed != replacement->opened.changed;
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
    // The mark names the target, for a run that finds the file abandoned (where the
    // system could, the file was marked before it was named; this completes it).
    mark_as(replacement, platform::handle_of_stream(stream), platform::MarkState::writing, false);
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
int commit_by_copy(ToolReplacement *replacement, long long held) {
    if (!retag_as_copy(replacement) || !mark_complete(replacement, held)) {
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
int commit_by_rename(ToolReplacement *replacement, bool sync_directory, long long held) {
    // The target stays locked through the move: a run waiting for it then finds its
    // name leading to the new file. (On Windows the lock's handle allows deletion, so
    // the replacement may go ahead; where a system refuses, the copy in place below
    // runs under the same lock.)
    // The directory's sync follows below, where its failure is reported.
    const platform::RenameResult renamed = platform::replace_locked(
        replacement->temporary, replacement->target, &replacement->lock, false);
    replacement->locked = replacement->lock != -1 ? replacement->locked : 0;
    if (renamed == platform::RenameResult::refused) {
        return kRefused;
    }
    if (renamed == platform::RenameResult::failed) {
        return TOOL_REPLACE_FAILED;
    }
    // The new file is the target now, and no replacement any more. In a batch its mark
    // is taken off when the file is let go of, on whichever thread does that.
    if (sync_directory) {
        settle_mark(replacement, replacement->target, held, nullptr);
    } else {
        replacement->settle_pending = 1;
        replacement->held = held;
    }
    // The file is new whatever follows; a rename that may not survive a crash is told.
    errno = 0;
    if (sync_directory && !platform::sync_directory(platform::directory_of(replacement->target))) {
        replacement->unsynced = 1;
        replacement->sync_error = errno;
    }
    // The replacement is the target now: its name is gone, so nothing is left to remove.
    release_guard(replacement);
    tool_strfree(&replacement->temporary);
    return TOOL_REPLACE_DONE;
}

// Puts the synced and closed replacement in place: renamed over the target with the
// record it carries, or copied into the target, which then gets the record.
int put_in_place(ToolReplacement *replacement, bool sync_directory, long long held) {
    int result =
        replacement->in_place ? kRefused : commit_by_rename(replacement, sync_directory, held);
    if (result == kRefused) {
        result = commit_by_copy(replacement, held);
        if (result == TOOL_REPLACE_DONE) {
            sys_io::record_onto_target(replacement);
            // The target is whole and recorded: should the run end before the copy is
            // removed, the next one removes it quietly.
            const platform::MarkState copied = platform::MarkState::copied;
            settle_mark(replacement, replacement->temporary, held, &copied);
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
    if (synced && closed && target_changed(replacement)) {
        replacement->changed = 1;
        errno = 0; // no system error: another program wrote the file
    } else if (synced && closed) {
        result = put_in_place(replacement, sync_directory, held);
    } else if (!synced) {
        errno = sync_error;
    }
    const platform::SavedError reason;
    if (!replacement->settle_pending) {
        platform::drop_replacement_lock(held);
    }
    return result;
}

// Takes the mark off a file a batched commit renamed into place and lets go of the
// handle that kept its lock.
void settle_renamed(ToolReplacement *replacement) {
    if (replacement->settle_pending) {
        settle_mark(replacement, replacement->target, replacement->held, nullptr);
        platform::drop_replacement_lock(replacement->held);
        replacement->settle_pending = 0;
    }
}

int lock(ToolReplacement *replacement, const char *path, bool wait) {
    *replacement = ToolReplacement{};
    // Once per process: a write that fails must report, not end the process.
    static const bool write_signals_ignored = (platform::ignore_write_signals(), true);
    (void)write_signals_ignored;
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
    platform::FileState state = locked.state;
    if (locked.state_known || platform::state_of_handle(locked.handle, &state)) {
        replacement->opened = {state.size, state.modified, state.changed, 1};
    }
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
    replacement->changed = 0;
    replacement->unsynced = 0;
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
    settle_renamed(replacement);
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
