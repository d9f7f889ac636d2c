// SPDX-License-Identifier: MIT
// The files a file argument names: its last component is a name or wildcard pattern,
// what comes before it the directory to look in, taken literally.
#ifndef JOINT2SI_APP_ARGUMENT_WALK_H
#define JOINT2SI_APP_ARGUMENT_WALK_H

#include "libtools/tool_sys_io.h"

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

/// Called with each name an argument matches and, when the walk listed it, the identity
/// its directory gave it (the file a link leads to), else null.
using WalkVisit = std::function<void(const std::string &name, const ToolFileIdentity *listed)>;

/// Calls `visit` with every name that `argument` matches, in order. An argument that
/// names an existing file (not a directory) is that file, visited as written, and with
/// `recursive` the entries of exactly that name (letters folded as patterns fold them)
/// in every subdirectory below (its name read as the system reads it); wildcard
/// characters in it stand for themselves.
/// Any other argument is a pattern: the pattern after the argument's last separator, as
/// the system reads it (tool_path_kept_length: on Windows without dots and blanks at its
/// end), is matched (tool_expand_pattern, case folded) in the directory before it, the
/// current directory when there is none, and each match is named as the directory part
/// as written plus the entry name ("data/a.jnt"). A directory part with nothing after it
/// matches nothing. The matches of one directory come in the order of compare_matches
/// (app/match_order.h). With `recursive`, the pattern is then matched in every
/// subdirectory below, depth first, subdirectories in that order too, each opened
/// through its parent's handle and never through a link (app/tree_walk.h); a directory
/// that cannot be opened or listed is reported by name, with the reason, and the walk
/// goes on. Recursive matches come with their identity.
WalkResult walk_argument(const char *argument, bool recursive, const WalkVisit &visit);

/// A test's look between the listing of a directory and what is done with what it
/// listed: called, in a recursive walk, with each directory's name as messages give
/// it, before any of its matches is visited and any of its subdirectories entered.
/// An empty function (the default) calls nothing.
using WalkListedHook = std::function<void(const std::string &directory)>;
void set_walk_listed_hook(WalkListedHook hook);

#endif
