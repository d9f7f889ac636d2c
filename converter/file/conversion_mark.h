// SPDX-License-Identifier: MIT
// The mark a converted file carries outside its text (see conversion_record.h), so that
// a second run never multiplies its values again: read before converting, written onto
// the replacement before it takes the file's place.
#ifndef JOINT2SI_FILE_CONVERSION_MARK_H
#define JOINT2SI_FILE_CONVERSION_MARK_H

#include "file/file_settings.h"

#include "libtools/tool_sys_io.h"

/// What the mark of a locked file says about converting it.
enum class MarkCheck {
    convert, // no mark, or --force: convert
    leave,   // converted already and unchanged since: left as it is, after a warning
    refuse,  // converted and changed since, or the mark could not be read for want of
             // memory: refused, after a message
};

/// Reads the mark of the file `replacement` holds locked and decides.
MarkCheck check_mark(const char *name, const ToolReplacement *replacement,
                     const FileSettings &settings);

/// Sets the mark describing the bytes written into `replacement`, to be attached by its
/// commit. False when memory ran out (the commit then attaches none).
bool set_mark(ToolReplacement *replacement, const FileSettings &settings);

/// After a commit: with --verbose, says when the file system kept no mark.
void report_mark_kept(const char *name, const ToolReplacement &replacement,
                      const FileSettings &settings);

#endif
