// SPDX-License-Identifier: MIT
#include "file/rewrite_steps.h"

#include "sinks/gzip_sink.h"
#include "sinks/replacement_sink.h"
#include "terminal/messages.h"

#include <cerrno>
#include <new>

bool lock_file(ToolReplacement *replacement, const char *name) {
    const int locked = tool_replace_lock(replacement, name);
    return lock_reported(locked, errno, name);
}

bool lock_reported(int locked, int reason, const char *name) {
    if (locked == TOOL_LOCK_NOT_REGULAR) {
        report_not_regular(name);
    } else if (locked == TOOL_LOCK_UNTRUSTED_LINK) {
        report_untrusted_link(name);
    } else if (locked != TOOL_LOCK_DONE) {
        report_cannot_open(name, reason);
    }
    return locked == TOOL_LOCK_DONE;
}

bool open_input(InputStream *input, const ToolReplacement &locked, const char *name) {
    const int opened = input->open(locked, name);
    const int reason = errno;
    if (opened == TOOL_LOCK_NOT_REGULAR) {
        report_not_regular(name);
    } else if (opened != TOOL_LOCK_DONE) {
        report_cannot_open(name, reason);
    }
    return opened == TOOL_LOCK_DONE;
}

ConvertOutcome convert_into(ToolStream input, ByteSource source, ToolReplacement *replacement,
                            const Conversion &conversion, ConversionCounts *counts) {
    ReplacementSink plain(replacement);
    const int gzip_level = zfile_stream_gzip_level(input);
    if (gzip_level == 0) {
        return convert(source, &plain, conversion, counts);
    }
    GzipSink compressed(&plain, gzip_level);
    return convert(source, &compressed, conversion, counts);
}

bool commit_reported(ToolReplacement *replacement, const char *name, FileRun *run, bool batched) {
    const int result =
        batched ? tool_replace_commit_batched(replacement) : tool_replace_commit(replacement);
    // A sync of a batch that failed earlier left its reason with the replacement.
    const int reason = errno == 0 && replacement->sync_error != 0 ? replacement->sync_error : errno;
    if (result == TOOL_REPLACE_KEPT) {
        report_kept_elsewhere(name, replacement->temporary, reason);
        return false;
    }
    if (result != TOOL_REPLACE_DONE && replacement->changed) {
        report_changed_during_run(name);
        return false;
    }
    if (result != TOOL_REPLACE_DONE) {
        report_cannot_write(name, reason);
        return false;
    }
    if (replacement->unsynced) {
        report_directory_unsynced(name, replacement->sync_error);
        run->unsynced = true;
    }
    // The identity after the commit: a renamed replacement is a new file, and the old
    // file's identity may be given to another file later in the run.
    ToolFileIdentity now = {};
    if (tool_file_identity(replacement->target, &now)) {
        try {
            run->converted.push_back(now);
        } catch (const std::bad_alloc &) {
            report_out_of_memory(); // the file is converted; only the note that it was is lost
        }
    }
    return true;
}
