// SPDX-License-Identifier: MIT
// Which files a file argument stands for, decided from the argument and one path,
// without walking the directories: a name that exists is that file; any other
// argument is a wildcard pattern for the names of its directory (and, with
// --recursive, of every directory below it).
#ifndef JOINT2SI_ARGUMENT_MATCH_H
#define JOINT2SI_ARGUMENT_MATCH_H

#include <string>

/// True when `argument`, as written, names an existing file that is not a directory:
/// then it is that file and no pattern.
bool names_existing_file(const char *argument);

/// A pattern that matches `name` and nothing else, letters compared as the pattern
/// rules fold them: each wildcard character stands in a set of its own ("a[1].jnt"
/// gives "a[[]1].jnt"). Throws std::bad_alloc.
std::string literal_pattern(const std::string &name);

/// True when a walk over `argument` (with `recursive`) would reach `path`, whether or
/// not `path` exists: its directory is the argument's directory (or, with `recursive`,
/// one below it) and its name matches the argument's last component, as a pattern, or
/// literally when the argument names an existing file (in the argument's own
/// directory only that file). "." and "..", the tool's replacement files and "-" (the
/// standard input) are never reached. Throws std::bad_alloc.
bool argument_matches(const char *argument, bool recursive, const std::string &path);

#endif
