// SPDX-License-Identifier: MIT
// The recursive walk below a file argument's directory: every directory is opened
// relative to its parent's handle and never through a link (libtools/tool_dir_handle.h),
// each directory's matches are visited in the order of compare_matches and then its
// subdirectories are walked in that order, depth first. Each match is visited with the
// identity its directory listed, so that a file swapped for another after the listing
// can be refused when it is locked.
#ifndef JOINT2SI_APP_TREE_WALK_H
#define JOINT2SI_APP_TREE_WALK_H

#include "app/argument_walk.h"

#include <string>

/// The directory part `prefix` as a message names it: "." for none, else without its
/// closing separator unless that is all there is of it ("/", "C:\\").
std::string display_name(const std::string &prefix);

/// The directory to open for a directory part as written: the part followed by ".",
/// so that no part gives "." and a bare drive ("C:") keeps its meaning.
std::string scan_path(const std::string &prefix);

/// What the walk of one tree is asked to do.
struct TreeWalk {
    std::string prefix;    // the argument's directory part as written ("" for none)
    std::string pattern;   // matched against the entries' names, case folded
    char separator;        // written between a directory and a subdirectory's name
    bool skip_top_matches; // the top directory's own matches were visited already
};

/// Walks the tree `walk` describes, calling `visit` for every match. A directory that
/// cannot be opened or read, a subdirectory replaced after its parent was listed and a
/// directory moved during the walk are reported ("Could not read directory") and set
/// `result->unreadable`; the walk goes on with the rest. A top directory that is missing
/// or no directory is noted in `result` (unread_directory) instead. Throws
/// std::bad_alloc (every handle is closed then).
void walk_tree(const TreeWalk &walk, const WalkVisit &visit, WalkResult *result);

#endif
