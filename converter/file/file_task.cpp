// SPDX-License-Identifier: MIT
#include "file/file_task.h"

#include "file/conversion_mark.h"
#include "file/convert_failure.h"
#include "file/input_source.h"
#include "file/leftovers.h"
#include "file/rewrite_steps.h"
#include "file/value_checks.h"
#include "terminal/messages.h"
#include "terminal/progress.h"

#include <cerrno>
#include <new>

namespace {

// Locks the task's file; false after reporting why (or, without `wait`, with `busy`
// set and nothing said) when it was not locked.
bool lock_task(FileTask *task, bool wait) {
    const char *name = task->name.c_str();
    const int locked = wait ? tool_replace_lock(&task->replacement, name)
                            : tool_replace_try_lock(&task->replacement, name);
    if (locked == TOOL_LOCK_BUSY) {
        task->busy = true;
        return false;
    }
    task->locked = locked == TOOL_LOCK_DONE;
    return lock_reported(locked, errno, name);
}

// Converts the locked file into its replacement and starts its write-back; the result.
FileResult convert_task(FileTask *task, const FileSettings &settings) {
    const char *name = task->name.c_str();
    ToolReplacement *replacement = &task->replacement;
    InputStream input;
    if (!open_input(&input, *replacement, name)) {
        return FileResult::failed;
    }
    if (!tool_replace_open(replacement, name)) {
        report_cannot_write(name, errno);
        return FileResult::failed;
    }
    // The progress line takes its reports from any thread: it shows the file a worker
    // started last.
    const ProgressFileScope progress(task->progress, name);
    WatchedInput watched(input.get(), task->progress);
    const ConvertOutcome outcome = convert_into(input.get(), watched.source(), replacement,
                                                settings.conversion, &task->counts);
    if (outcome != ConvertOutcome::converted) {
        report_convert_failure(outcome, name, task->counts, watched.error());
        return FileResult::failed;
    }
    if (!values_exact(name, task->counts, settings.allow_dropped_digits)) {
        return FileResult::failed;
    }
    task->changed = task->counts.changed;
    if (task->changed) {
        input.close(); // some systems refuse to replace a file that is still open
        set_mark(replacement, settings);
        tool_replace_start_sync(replacement); // a failure is reported at the commit
    }
    return FileResult::converted;
}

FileResult prepare(FileTask *task, const FileSettings &settings, bool wait) {
    const char *name = task->name.c_str();
    if (is_skipped_name(name)) {
        return FileResult::skipped;
    }
    if (!lock_task(task, wait) ||
        !locked_as_listed(task->replacement, task->listed_known ? &task->listed : nullptr, name)) {
        return FileResult::failed;
    }
    // A copy a killed run left for the file comes first: the run may have been killed
    // after marking the file and before removing the copy.
    sweep_leftovers_held(task->replacement.target);
    if (refuse_if_copy_pending(name, task->replacement)) {
        return FileResult::failed;
    }
    const MarkCheck mark = check_mark(name, &task->replacement, settings);
    if (mark != MarkCheck::convert) {
        return mark == MarkCheck::leave ? FileResult::skipped : FileResult::failed;
    }
    return convert_task(task, settings);
}

} // namespace

void FileTask::reset() {
    tool_replace_abandon(&replacement);
    result = FileResult::failed;
    busy = false;
    locked = false;
    changed = false;
    counts = ConversionCounts();
    messages.clear();
}

void prepare_file(FileTask *task, const FileSettings &settings, bool wait) {
    const MessageCapture capture(&task->messages);
    try {
        task->result = prepare(task, settings, wait);
    } catch (const std::bad_alloc &) { // a line too long for memory, the first dropped line
        report_out_of_memory();
        task->result = FileResult::failed;
    } catch (...) {
        report_out_of_memory(); // nothing else is thrown; never let one leave a worker
        task->result = FileResult::failed;
    }
}
