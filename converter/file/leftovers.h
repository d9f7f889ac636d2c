// SPDX-License-Identifier: MIT
// Replacement files left by earlier runs that ended without finishing.
#ifndef JOINT2SI_LEFTOVERS_H
#define JOINT2SI_LEFTOVERS_H

#include "libtools/tool_sys_io.h"

#include <string>

/// Once per directory and run (and once for the temporary directory): removes the
/// abandoned replacement files beside `target` that carry the mark of this program and
/// are not needed (their original is whole), and warns about those that may hold the
/// only complete converted text of a file torn by a killed run, noting which file each
/// was to be copied into. A file that merely has a replacement file's name is left.
void sweep_leftovers_beside(const char *target);

/// sweep_leftovers_beside for a file converted apart from the run's order, on any
/// thread: the sweep is made by the first file to reach the directory, and its
/// warnings are held; the calling thread's held messages (terminal/held_messages.h)
/// get a point where write_leftover_warnings gives them, for the first file of the
/// run's order that reaches it.
void sweep_leftovers_held(const char *target);

/// The point writer of held messages: writes the warnings of the sweep of `directory`
/// the first time it is called for it.
void write_leftover_warnings(const std::string &directory);

/// After the sweep of its directory: whether the locked file `name` waits for the
/// complete converted text a killed run left in a copy; then says so, naming both, and
/// the file must not be converted (it may be torn) until the user puts the copy in its
/// place or removes it. Safe in any thread.
bool refuse_if_copy_pending(const char *name, const ToolReplacement &locked);

/// Whether a matched name is one a run never rewrites: "." and "..", and the
/// replacement files of this or another run.
bool is_skipped_name(const char *name);

#endif
