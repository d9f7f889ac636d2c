// Platform side of the safe replacement of a file: identity, exclusive
// creation of the replacement, checked writes, the atomic rename, the in-place
// copy, and the removal of the replacement when the process is interrupted.
//
// Every write, sync, close and rename goes through a fault-injection counter so
// tests can make the n-th one fail; see fail_nth_file_operation.
#ifndef LIBTOOLS_PLATFORM_REPLACE_H
#define LIBTOOLS_PLATFORM_REPLACE_H

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
};

/// The final file a path leads to, symbolic links followed, in the system's syntax;
/// false when it cannot be resolved.
bool resolve_final_path(const std::string &path, std::string *resolved);

/// Facts about an existing file (links followed); false when it has no status.
bool target_facts(const std::string &path, TargetFacts *facts);

/// Creates a new hidden file in `directory` that no other process created (exclusive
/// creation), with the permission bits of `facts` and, where allowed, its owner and
/// group, and opens it for writing in text mode. Stores its path in `created`.
/// `kept_owner` tells whether owner and group could be kept. Null on failure.
std::FILE *create_replacement(const std::string &directory, const std::string &name_hint,
                              const TargetFacts &facts, std::string *created, bool *kept_owner);

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
/// Copies the bytes of `source` over the content of `target`, keeping the target file
/// itself (its identity, links, owner); every step checked, synced at the end.
bool copy_over(const std::string &source, const std::string &target);
/// Removes a file; false when it could not be removed.
bool remove_file(const std::string &path);

/// The operations a test can make fail.
enum class FileOperation { write, sync, close, rename, count };
/// Test support: the n-th operation of kind `operation` from now fails once (0: never).
void fail_nth_file_operation(FileOperation operation, long n);

} // namespace platform

#endif
