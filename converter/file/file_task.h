// SPDX-License-Identifier: MIT
// One file of a run converted apart from the run's order, on any thread: locked
// without waiting, checked, converted into its replacement, whose write-back is then
// started. Everything it says is held (terminal/held_messages.h). What must follow
// the run's order (the check that no earlier file was the same one, the backup, the
// commit and the reports after it) is left to the batch (file/commit_batch.h).
#ifndef JOINT2SI_FILE_FILE_TASK_H
#define JOINT2SI_FILE_FILE_TASK_H

#include "convert/conversion_counts.h"
#include "file/file_settings.h"
#include "file/rewrite_file.h"
#include "terminal/held_messages.h"
#include "terminal/progress.h"

#include "libtools/tool_sys_io.h"

#include <string>

struct FileTask {
    FileTask() = default;
    ~FileTask() { tool_replace_abandon(&replacement); }
    FileTask(const FileTask &) = delete;
    FileTask &operator=(const FileTask &) = delete;

    /// Forgets everything prepare_file did (abandoning the replacement), so the file can
    /// be prepared again.
    void reset();

    std::string name;             // as matched; the messages name it so
    Progress *progress = nullptr; // the run's progress line, told from any thread
    // A note of the run rather than a file: only its held messages are written.
    bool note_only = false;
    // The identity the walk listed for the file: the file locked must be that one.
    bool listed_known = false;
    ToolFileIdentity listed = {};

    // After prepare_file:
    FileResult result = FileResult::failed;
    bool busy = false;    // another held the file's lock: to be prepared again, waiting
    bool locked = false;  // the file was locked: `replacement` names it
    bool changed = false; // a converted file whose bytes change: a replacement to commit
    ConversionCounts counts;
    ToolReplacement replacement = {};
    HeldMessages messages;
};

/// Prepares the commit of `task->name` as `settings` ask, holding its messages in
/// `task->messages`. Without `wait`, a file whose lock another holds is left with
/// `busy` set and nothing done. Never throws; safe in any thread (a worker's included)
/// while no other thread uses `task`.
void prepare_file(FileTask *task, const FileSettings &settings, bool wait);

#endif
