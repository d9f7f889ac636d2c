// SPDX-License-Identifier: MIT
// The directory of a file, read from its path alone.
#ifndef JOINT2SI_FILE_DIRECTORY_H
#define JOINT2SI_FILE_DIRECTORY_H

/// A new string (tool_strfree): the directory in which the path `path` of a file (never
/// a directory: the system is not asked) names it, without the separator after it; the
/// root's separator for a file in the root directory ("/a.jnt" gives "/"), the drive for
/// a path such as "C:a.jnt". Null when the path names no directory ("a.jnt") or memory
/// ran out.
char *file_directory(const char *path);

#endif
