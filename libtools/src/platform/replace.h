// SPDX-License-Identifier: MIT
// Platform side of the safe replacement of a file: identity, exclusive
// creation of the replacement, checked writes, the atomic rename, the in-place
// copy, and the removal of the replacement when the process is interrupted.
//
// Every write, sync, close and rename goes through a fault-injection counter so
// tests can make the n-th one fail; see fail_nth_file_operation.
#ifndef LIBTOOLS_PLATFORM_REPLACE_H
#define LIBTOOLS_PLATFORM_REPLACE_H

#include "platform/file_state.h"

#include <cstddef>
#include <cstdio>
#include <string>

namespace platform {

/// What identifies a file however it is reached (device and inode; volume serial and
/// file index on Windows).
struct FileIdentity {
    unsigned long long device = 0;
    unsigned long long index = 0;
};

/// What the replacement of a file must keep.
struct TargetFacts {
    FileIdentity identity;
    unsigned permissions = 0; // the system's permission bits of the file
    bool several_links = false;
    unsigned long long owner = 0;
    unsigned long long group = 0;
    FileState state;          // the file's state, when state_known: where the system
    bool state_known = false; // gives it with the facts
};

/// The final file a path leads to, symbolic links followed, in the system's syntax;
/// false when it cannot be resolved.
bool resolve_final_path(const std::string &path, std::string *resolved);

/// Facts about an existing file (links followed); false when it has no status.
bool target_facts(const std::string &path, TargetFacts *facts);

/// The two kinds of replacement file. Their names tell them apart, so a later run that
/// finds one abandoned knows whether it may hold the only complete new content.
enum class ReplacementKind {
    rename, // renamed over the target: the target stays whole until then
    copy    // copied into the target in place: may outlive a torn target
};

/// A short hidden name for a replacement file of `kind`: a fixed prefix, a letter for
/// the kind and a random part; never longer than kReplacementNameLength.
std::string replacement_name(ReplacementKind kind);
constexpr std::size_t kReplacementNameLength = 15;
/// Whether `name` has the form replacement_name gives; `kind` tells which when it does.
/// The form alone proves nothing: a user's file may have it (a backup's suffix can give
/// it). Only a file that carries a replacement's mark (file_record.h) is the toolkit's.
bool is_replacement_name(const char *name, ReplacementKind *kind);

/// How far a replacement file got, as its mark tells. One to be renamed is never more
/// than `writing`: its target stays whole until the rename.
enum class MarkState {
    writing,  // its content may be incomplete: the target has not been touched
    complete, // complete and on disk: a copy into the target may have started
    copied    // copied into the target in full, and the target synced
};

/// What a replacement's mark says.
struct MarkFacts {
    MarkState state = MarkState::writing;
    FileIdentity target; // the file it replaces
    std::string target_path;
};

/// The text of the mark of a replacement for the file `target` (at `target_path`; may be
/// empty) that got as far as `state`.
std::string replacement_mark(MarkState state, const FileIdentity &target,
                             const std::string &target_path);
/// Reads a mark's text; false when it is not one replacement_mark writes.
bool read_replacement_mark(const std::string &text, MarkFacts *facts);

/// Creates a new hidden file of `kind` in `directory` that no other process created
/// (exclusive creation), with the permission bits of `facts` and, where allowed, its
/// owner and group, opens it for writing in binary mode and locks it for as long as it
/// is open. Stores its path in `created`. `kept_owner` tells whether owner and group
/// could be kept. Null on failure.
std::FILE *create_replacement(const std::string &directory, ReplacementKind kind,
                              const TargetFacts &facts, std::string *created, bool *kept_owner);

/// Copies the extended attributes (POSIX access control lists included) of the open
/// file `from_handle` to the replacement `to`, all but the file's record (record_name
/// in file_record.h), which describes the old bytes; a file system without extended
/// attributes has none to copy. False when one could not be copied. On Windows: the
/// access control list, the creation time and the named streams (all but the record
/// and the tool's mark on replacement files, ":joint2si.replacement"); the rename then
/// gives the replacement the target's attributes.
bool copy_attributes(long long from_handle, std::FILE *to);

/// The directory for temporary files of the user.
std::string temporary_directory();

/// Directory part of a resolved path ("." when there is none).
std::string directory_of(const std::string &path);
/// Name part of a resolved path.
std::string name_of(const std::string &path);

/// Writes all `size` bytes; false when the stream took fewer.
bool write_all(std::FILE *stream, const char *data, std::size_t size);
/// Flushes the stream's buffer and asks the system to put the file on disk.
bool flush_and_sync(std::FILE *stream);
/// Closes the stream; false when the close reported an error.
bool close_stream(std::FILE *stream);
/// How a rename ended: done, refused by the directory's rules (a sticky or read-only
/// directory, a file in use), or failed otherwise.
enum class RenameResult { done, refused, failed };
/// Replaces `target` by `replacement` in one step and makes the change durable.
RenameResult replace_atomically(const std::string &replacement, const std::string &target);
/// Replaces `target`, which this process holds locked through the handle `*lock`, as
/// replace_atomically does (leaving the directory's sync to the caller without
/// `sync_directory`, as replace_leaving_directory_sync does). Where the system cannot
/// replace a file that is open (Windows without POSIX rename semantics, Wine), the lock
/// is let go of for the rename behind the file's commit gate and, when the rename is
/// refused, taken again for the copy in place: `*lock` then holds the new handle, or -1
/// (with failed) when the name no longer leads to the locked file. After such a rename
/// `*lock` holds the new file's lock when it could be taken without waiting, else -1.
RenameResult replace_locked(const std::string &replacement, const std::string &target,
                            long long *lock, bool sync_directory);
/// How a copy into the target ended: done, failed before the target changed, or failed
/// after its first byte was overwritten.
enum class CopyResult { done, unchanged, torn };
/// Copies the bytes of `source` over the content of `target`, keeping the target file
/// itself (its identity, links, owner). The target must still be the file `identity`
/// names; it is given its final size before its first byte is overwritten (so a full
/// disk is met while it still holds its old content) and synced at the end.
CopyResult copy_over(const std::string &source, const std::string &target,
                     const FileIdentity &identity);
/// Removes a file; false when it could not be removed.
bool remove_file(const std::string &path);

/// The operations a test can make fail.
enum class FileOperation { write, sync, close, rename, resize, write_back, directory_sync, count };
/// Test support: the n-th operation of kind `operation` from now fails once (0: never),
/// with errno set to `error`. The counters are process-wide and atomic: the n-th
/// operation of the process, in whichever thread it comes (the writes of a replacement
/// may come from a worker).
void fail_nth_file_operation(FileOperation operation, long n, int error);

} // namespace platform

#endif
