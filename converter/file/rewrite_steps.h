// SPDX-License-Identifier: MIT
// The steps of one file's rewrite that the rewrite of a single file and the files of a
// run converted on several threads share.
#ifndef JOINT2SI_FILE_REWRITE_STEPS_H
#define JOINT2SI_FILE_REWRITE_STEPS_H

#include "convert/byte_streams.h"
#include "convert/conversion_counts.h"
#include "convert/units.h"
#include "file/rewrite_file.h"
#include "pipeline/convert_pass.h"

#include "libtools/tool_sys_io.h"

// Closes the input stream when it goes out of scope.
class InputStream {
  public:
    InputStream() = default;
    ~InputStream() { close(); }
    InputStream(const InputStream &) = delete;
    InputStream &operator=(const InputStream &) = delete;

    // Opens `name` for update, as the original tool did to test that it may be
    // rewritten, held to the locked file; binary, so the line reader sees CR LF as
    // written and the output can keep it. One of TOOL_LOCK_*.
    // errno tells why it could not be opened.
    int open(const ToolReplacement &locked, const char *name) {
        return tool_replace_input(&locked, name, "r+b", &stream_);
    }
    void close() { tool_fclose(&stream_); }
    ToolStream get() const { return stream_; }

  private:
    ToolStream stream_ = nullptr;
};

/// Locks the file `name` leads to; false, after reporting why, when it may not be
/// rewritten.
bool lock_file(ToolReplacement *replacement, const char *name);

/// The report of a lock's result `locked` (TOOL_LOCK_*; `reason` the errno it left):
/// true for TOOL_LOCK_DONE, else false after the message that says why.
bool lock_reported(int locked, int reason, const char *name);

/// Opens the locked file's text; false, after reporting why, when it cannot be.
bool open_input(InputStream *input, const ToolReplacement &locked, const char *name);

/// Converts the text of `input` into the replacement: compressed again, at the level
/// its header names, when it was read as gzip data.
ConvertOutcome convert_into(ToolStream input, ByteSource source, ToolReplacement *replacement,
                            const Conversion &conversion, ConversionCounts *counts);

/// Puts the converted content in place (with `batched`, as a file of a batch: see
/// tool_replace_commit_batched) and notes the new file's identity in `run`; false,
/// after reporting, when it could not.
bool commit_reported(ToolReplacement *replacement, const char *name, FileRun *run, bool batched);

#endif
