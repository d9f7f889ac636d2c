// SPDX-License-Identifier: MIT
// What the file system under a test can do, for tests whose expectations differ
// between systems: they ask here instead of testing which system they run on.
#ifndef JOINT2SI_TESTS_FILE_SYSTEM_H
#define JOINT2SI_TESTS_FILE_SYSTEM_H

#include <filesystem>
#include <string>

/// Whether the volume holding `directory` searches names without regard to case, so
/// that the directory scan lists names in lower case there. Never on POSIX.
bool volume_ignores_case(const std::filesystem::path &directory);

/// `name` as the directory scan lists it in `directory` (lower-cased where the volume
/// ignores case).
std::string as_listed(const std::filesystem::path &directory, const std::string &name);

/// Whether directory listings hide the file by default: a name that starts with "." on
/// POSIX, the hidden attribute on Windows.
bool is_hidden(const std::filesystem::path &file);

/// Why files here have no POSIX permission bits, or "" when they have them.
std::string permission_bits_unsupported();

/// `path` written with "/" as the separator, turned into this system's own syntax.
std::string native_separators(std::string path);

/// Sets the extended attribute `name` of `path` to `value`; "" on success, else why
/// extended attributes cannot be set here.
std::string set_extended_attribute(const std::filesystem::path &path, const std::string &name,
                                   const std::string &value);
/// The value of the extended attribute `name` of `path`; "<none>" when it has none.
std::string extended_attribute(const std::filesystem::path &path, const std::string &name);

/// Mounts a small file system that keeps no extended attributes (ramfs) on the empty
/// directory `path`; "" on success, else why none can be mounted here (no privilege, no
/// such file system, Windows). unmount_scratch takes it away again.
std::string mount_without_records(const std::filesystem::path &path);
void unmount_scratch(const std::filesystem::path &path);

/// The size, terminator included, of the longest path the toolkit accepts here:
/// PATH_MAX on POSIX, 32768 characters on Windows (the extended-length form's limit).
std::size_t path_limit();
/// Makes a FIFO (named pipe) at `path`; "" on success, else why it cannot be made here.
std::string make_fifo(const std::filesystem::path &path);

/// The absolute path `path` in the system's extended-length form ("\\\\?\\C:\\..."), or ""
/// where the system has no such form.
std::string extended_length_form(const std::filesystem::path &path);

/// The characters no file name can hold here, the zero byte aside: "/" on POSIX; on
/// Windows also the backslash and < > : " | ? *.
std::string characters_names_cannot_hold();

/// Whether the system drops dots and blanks at the end of a name it is given ("a.jnt."
/// and "a.jnt " open "a.jnt"), as Windows does.
bool drops_trailing_dots_and_blanks();

/// Holds the file `path` open as indexers and virus scanners do on Windows: reading and
/// writing shared, deletion (and so renaming over it) not, until release_file_hold.
/// "" on success with the hold in `*hold`, else why no such hold exists here.
std::string hold_without_delete_sharing(const std::filesystem::path &path, long long *hold);
void release_file_hold(long long hold);

#endif
