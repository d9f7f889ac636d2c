// SPDX-License-Identifier: MIT
#include "file/rewrite_file.h"

#include "file/backup.h"
#include "file/conversion_mark.h"
#include "file/convert_failure.h"
#include "file/input_source.h"
#include "file/leftovers.h"
#include "file/preview.h"
#include "file/value_checks.h"
#include "pipeline/convert_pass.h"
#include "sinks/gzip_sink.h"
#include "sinks/replacement_sink.h"
#include "terminal/messages.h"

#include <algorithm>
#include <cerrno>
#include <new>

namespace {

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

// Abandons the replacement (removing its file) unless it was committed.
class Replacement {
  public:
    Replacement() = default;
    ~Replacement() { tool_replace_abandon(&replacement_); }
    Replacement(const Replacement &) = delete;
    Replacement &operator=(const Replacement &) = delete;
    ToolReplacement *get() { return &replacement_; }

  private:
    ToolReplacement replacement_ = {};
};

// Ends the progress line's current file however the rewrite ends.
class ProgressFile {
  public:
    // The size as stored: for a gzip file its compressed bytes.
    ProgressFile(Progress *progress, const char *name) : progress_(progress) {
        progress_file(progress, name, tool_file_size(name));
    }
    ~ProgressFile() { progress_file_done(progress_); }
    ProgressFile(const ProgressFile &) = delete;
    ProgressFile &operator=(const ProgressFile &) = delete;

  private:
    Progress *progress_;
};

bool same_file(const ToolFileIdentity &a, const ToolFileIdentity &b) {
    return a.device == b.device && a.index == b.index;
}

bool already_converted(const FileRun &run, const ToolFileIdentity &identity) {
    return std::any_of(run.converted.begin(), run.converted.end(),
                       [&](const ToolFileIdentity &seen) { return same_file(seen, identity); });
}

// Locks the file `name` leads to; false, after reporting why, when it may not be
// rewritten.
bool lock(ToolReplacement *replacement, const char *name) {
    const int locked = tool_replace_lock(replacement, name);
    const int reason = errno;
    if (locked == TOOL_LOCK_NOT_REGULAR) {
        report_not_regular(name);
    } else if (locked == TOOL_LOCK_UNTRUSTED_LINK) {
        report_untrusted_link(name);
    } else if (locked != TOOL_LOCK_DONE) {
        report_cannot_open(name, reason);
    }
    return locked == TOOL_LOCK_DONE;
}

// Opens the locked file's text; false, after reporting why, when it cannot be.
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

// Converts the text of `input` into the replacement: compressed again, at the level
// its header names, when it was read as gzip data.
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

// Puts the converted content in place; false, after reporting, when it could not.
bool commit(ToolReplacement *replacement, const char *name, FileRun *run) {
    const int result = tool_replace_commit(replacement);
    const int reason = errno;
    if (result == TOOL_REPLACE_KEPT) {
        report_kept_elsewhere(name, replacement->temporary, reason);
        return false;
    }
    if (result != TOOL_REPLACE_DONE) {
        report_cannot_write(name, reason);
        return false;
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

// Converts the open, locked file and puts the result in place (or writes its diff).
FileResult convert_file(const char *name, InputStream *input, ToolReplacement *replacement,
                        const FileSettings &settings, FileRun *run, ConversionCounts *counts) {
    ProgressFile progress(run->progress, name);
    WatchedInput watched(input->get(), run->progress);
    if (settings.dry_run) {
        if (!preview_file(name, &watched, settings.conversion, settings.allow_dropped_digits,
                          counts)) {
            return FileResult::failed;
        }
        // The backup's checks of the real run, which backs up only a changed file.
        if (counts->changed &&
            !keep_backup(name, replacement, settings.backup, true, &run->backups)) {
            return FileResult::failed;
        }
    } else {
        const ConvertOutcome outcome =
            convert_into(input->get(), watched.source(), replacement, settings.conversion, counts);
        if (outcome != ConvertOutcome::converted) {
            report_convert_failure(outcome, name, *counts, watched.error());
            return FileResult::failed;
        }
        // Refused before anything is backed up or committed: the replacement goes.
        if (!values_exact(name, *counts, settings.allow_dropped_digits)) {
            return FileResult::failed;
        }
        if (!counts->changed) { // nothing to write back: no new file, no backup
            warn_about_values(name, *counts);
            return FileResult::converted;
        }
        input->close(); // some systems refuse to replace a file that is still open
        set_mark(replacement, settings);
        if (!keep_backup(name, replacement, settings.backup, false, &run->backups) ||
            !commit(replacement, name, run)) {
            return FileResult::failed;
        }
        report_mark_kept(name, *replacement, settings);
    }
    warn_about_values(name, *counts);
    return FileResult::converted;
}

} // namespace

FileResult rewrite_file(const char *name, const FileSettings &settings, FileRun *run,
                        ConversionCounts *counts) {
    if (is_skipped_name(name)) {
        return FileResult::skipped;
    }
    Replacement replacement;
    if (!lock(replacement.get(), name)) {
        return FileResult::failed;
    }
    if (already_converted(*run, replacement.get()->identity)) {
        return FileResult::skipped;
    }
    const MarkCheck mark = check_mark(name, replacement.get(), settings);
    if (mark != MarkCheck::convert) {
        return mark == MarkCheck::leave ? FileResult::skipped : FileResult::failed;
    }
    if (!settings.dry_run) { // a dry run changes nothing on disk, leftovers included
        sweep_leftovers_beside(replacement.get()->target);
    }
    InputStream input;
    if (!open_input(&input, *replacement.get(), name)) {
        return FileResult::failed;
    }
    if (!settings.dry_run && !tool_replace_open(replacement.get(), name)) {
        report_cannot_write(name, errno);
        return FileResult::failed;
    }
    try {
        return convert_file(name, &input, replacement.get(), settings, run, counts);
    } catch (const std::bad_alloc &) { // a line too long for memory, the first dropped line
        report_out_of_memory();
        return FileResult::failed;
    }
}
