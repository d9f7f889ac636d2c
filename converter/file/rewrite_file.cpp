// SPDX-License-Identifier: MIT
#include "file/rewrite_file.h"

#include "file/backup.h"
#include "file/conversion_mark.h"
#include "file/convert_failure.h"
#include "file/input_source.h"
#include "file/leftovers.h"
#include "file/preview.h"
#include "file/rewrite_steps.h"
#include "file/value_checks.h"
#include "pipeline/convert_pass.h"
#include "sinks/gzip_sink.h"
#include "sinks/replacement_sink.h"
#include "terminal/messages.h"
#include "terminal/progress.h"
#include "terminal/reason.h"

#include <algorithm>
#include <cerrno>
#include <new>

namespace {

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

bool same_file(const ToolFileIdentity &a, const ToolFileIdentity &b) {
    return a.device == b.device && a.index == b.index;
}

// Converts the open, locked file and puts the result in place (or writes its diff).
FileResult convert_file(const char *name, InputStream *input, ToolReplacement *replacement,
                        const FileSettings &settings, FileRun *run, ConversionCounts *counts) {
    const ProgressFileScope progress(run->progress, name);
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
            !commit_reported(replacement, name, run, false)) {
            return FileResult::failed;
        }
        report_mark_kept(name, *replacement, settings);
    }
    warn_about_values(name, *counts);
    return FileResult::converted;
}

} // namespace

bool already_converted(const FileRun &run, const ToolFileIdentity &identity) {
    return std::any_of(run.converted.begin(), run.converted.end(),
                       [&](const ToolFileIdentity &seen) { return same_file(seen, identity); });
}

bool locked_as_listed(const ToolReplacement &locked, const ToolFileIdentity *listed,
                      const char *name) {
    if (listed == nullptr || same_file(locked.identity, *listed)) {
        return true;
    }
    report_cannot_open(name, kReasonNotAsListed);
    return false;
}

FileResult rewrite_file(const char *name, const FileSettings &settings, FileRun *run,
                        ConversionCounts *counts, const ToolFileIdentity *listed) {
    if (is_skipped_name(name)) {
        return FileResult::skipped;
    }
    Replacement replacement;
    if (!lock_file(replacement.get(), name) ||
        !locked_as_listed(*replacement.get(), listed, name)) {
        return FileResult::failed;
    }
    if (already_converted(*run, replacement.get()->identity)) {
        return FileResult::skipped;
    }
    // A copy a killed run left for the file comes first: the run may have been killed
    // after marking the file and before removing the copy.
    if (!settings.dry_run) { // a dry run changes nothing on disk, leftovers included
        sweep_leftovers_beside(replacement.get()->target);
        if (refuse_if_copy_pending(name, *replacement.get())) {
            return FileResult::failed;
        }
    }
    const MarkCheck mark = check_mark(name, replacement.get(), settings);
    if (mark != MarkCheck::convert) {
        return mark == MarkCheck::leave ? FileResult::skipped : FileResult::failed;
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
