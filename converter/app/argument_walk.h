// SPDX-License-Identifier: MIT
// The files a file argument names: its last component is a name or wildcard pattern,
// what comes before it the directory to look in, taken literally.
#ifndef JOINT2SI_APP_ARGUMENT_WALK_H
#define JOINT2SI_APP_ARGUMENT_WALK_H

#include <functional>
#include <string>

/// What a walk over one file argument met.
struct WalkResult {
    int matched = 0;         // names handed to the visitor
    bool unreadable = false; // a directory could not be listed (reported)
    bool lost = false;       // a match was lost to memory exhaustion (reported)
    // The argument's own directory, when it could not be listed and was not reported
    // (it is missing, or the walk is not recursive): its name as messages give it, and
    // why (an errno value, 0 when unknown).
    std::string unread_directory;
    int unread_reason = 0;
};

/// Calls `visit` with every name that `argument` matches, in order. An argument that
/// names an existing file (not a directory) is that file, visited as written, and with
/// `recursive` the entries of exactly that name (letters folded as patterns fold them)
/// in every subdirectory below; wildcard characters in it stand for themselves.
/// Any other argument is a pattern: the pattern after
/// the argument's last separator is matched (tool_expand_pattern, case folded) in the
/// directory before it, the current directory when there is none, and each match is
/// named as the directory part as written plus the entry name ("data/a.jnt"). A
/// directory part with nothing after it matches nothing. With `recursive`, the pattern
/// is then matched in every subdirectory below, depth first in listing order, without
/// following symbolic links; a directory that exists but cannot be listed is reported
/// by name, with the system's reason, and the walk goes on.
WalkResult walk_argument(const char *argument, bool recursive,
                         const std::function<void(const std::string &name)> &visit);

#endif
