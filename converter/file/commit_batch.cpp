// SPDX-License-Identifier: MIT
#include "file/commit_batch.h"

#include "file/backup.h"
#include "file/conversion_mark.h"
#include "file/file_directory.h"
#include "file/leftovers.h"
#include "file/rewrite_steps.h"
#include "file/value_checks.h"
#include "terminal/held_messages.h"
#include "terminal/messages.h"

#include "libtools/tool_sys_io.h"
#include "libtools/tool_thread.h"

#include <algorithm>
#include <cerrno>
#include <new>

namespace {

constexpr int kMostFiles = 128;
constexpr unsigned long long kMostBytes = 64ull << 20;
// Descriptors kept for everything else: the files being converted, their temporary
// and directory handles, the standard streams.
constexpr long kOtherDescriptors = 64;
// The syncs of a batch wait on the disk, not on a processor, and a journaling file
// system commits the syncs that wait at the same time together: many threads, each
// waiting for one file at a time.
constexpr int kSyncThreads = 64;

} // namespace

CommitBatch::CommitBatch(const FileSettings &settings, FileRun *run, Done done)
    : settings_(settings), run_(run), done_(std::move(done)) {}

int CommitBatch::most_files() {
    static const int most = [] {
        // Three descriptors for each file waiting in the batch, and as many files again
        // prepared ahead of it (app/run_queue.cpp): most_descriptors() within the limit.
        const long by_descriptors = (tool_open_file_limit() - kOtherDescriptors) / 6;
        return static_cast<int>(std::max(1L, std::min<long>(kMostFiles, by_descriptors)));
    }();
    return most;
}

long CommitBatch::most_descriptors() {
    return 6L * most_files() + kOtherDescriptors;
}

void CommitBatch::add(std::unique_ptr<FileTask> task) {
    if (task->changed && task->result == FileResult::converted) {
        ++replacements_;
        bytes_ += task->replacement.written_size;
    }
    tasks_.push_back(std::move(task));
}

bool CommitBatch::full() const {
    return replacements_ >= most_files() || bytes_ >= kMostBytes;
}

void CommitBatch::flush() {
    const MessageCapture direct(nullptr); // the batch writes in the run's order itself
    std::vector<ToolReplacement *> waiting;
    for (const auto &task : tasks_) {
        if (task->changed && task->result == FileResult::converted) {
            waiting.push_back(&task->replacement);
        }
    }
    tool_replace_sync_all(waiting.data(), static_cast<int>(waiting.size()), kSyncThreads);
    for (auto &task : tasks_) {
        done_(*task, finish(task.get()));
    }
    sync_directories();
    let_go();
    replacements_ = 0;
    bytes_ = 0;
}

// Lets go of every file of the batch (marks taken off, locks released, replaced files
// closed) on the sync threads: most of that waits on the disk, and the waits overlap.
void CommitBatch::let_go() {
    std::vector<ToolReplacement *> files;
    try {
        files.reserve(tasks_.size());
        for (const auto &task : tasks_) {
            files.push_back(&task->replacement);
        }
        tool_replace_abandon_all(files.data(), static_cast<int>(files.size()), kSyncThreads);
    } catch (const std::bad_alloc &) {
        // The tasks let go of their files one after the other below.
    }
    tasks_.clear();
}

// The file's part of the run, in the run's order: the checks only the order can make,
// its held messages, then the commit.
FileResult CommitBatch::finish(FileTask *task) {
    if (task->note_only) {
        task->messages.write(write_leftover_warnings);
        return FileResult::skipped;
    }
    const char *name = task->name.c_str();
    // The same file reached again, or a backup this run made since the walk named it:
    // what was prepared for it goes unsaid.
    if (is_backup_of_run(run_->backups, name) ||
        (task->locked && already_converted(*run_, task->replacement.identity))) {
        return FileResult::skipped;
    }
    task->messages.write(write_leftover_warnings);
    const FileResult result =
        task->result == FileResult::converted && task->changed ? commit(task) : task->result;
    if (result == FileResult::converted) {
        warn_about_values(name, task->counts);
    }
    return result;
}

// Backs the file up and renames its synced replacement over it (the commit refuses a
// file another program changed since it was locked, checked right before the rename).
FileResult CommitBatch::commit(FileTask *task) {
    const char *name = task->name.c_str();
    ToolReplacement *replacement = &task->replacement;
    if (!keep_backup(name, replacement, settings_.backup, false, &run_->backups) ||
        !commit_reported(replacement, name, run_, true)) {
        return FileResult::failed;
    }
    report_mark_kept(name, *replacement, settings_);
    if (!replacement->in_place) {
        note_renamed_into(replacement->target, name);
    }
    return FileResult::converted;
}

// Notes that `name` was renamed into the directory of `target`, to be synced with the
// batch.
void CommitBatch::note_renamed_into(const char *target, const char *name) {
    char *directory = file_directory(target);
    if (directory == nullptr) {
        return;
    }
    const std::string where = directory;
    tool_strfree(&directory);
    try {
        const auto found =
            std::find_if(directories_.begin(), directories_.end(),
                         [&](const RenamedInto &renamed) { return renamed.directory == where; });
        if (found != directories_.end()) {
            found->names.emplace_back(name);
        } else {
            directories_.push_back({where, {name}});
        }
    } catch (const std::bad_alloc &) {
        sync_directory(where, {name}); // synced now rather than with the others
    }
}

// Makes the renames into `directory` durable; a failure is told for each file renamed
// there, which holds its new content but might lose its name to a crash.
void CommitBatch::sync_directory(const std::string &directory,
                                 const std::vector<std::string> &names) {
    if (tool_sync_directory(directory.c_str())) {
        return;
    }
    const int reason = errno;
    for (const std::string &name : names) {
        report_directory_unsynced(name.c_str(), reason);
    }
    run_->unsynced = true;
}

// The renames of the batch are durable once their directories are on disk.
void CommitBatch::sync_directories() {
    for (const RenamedInto &renamed : directories_) {
        sync_directory(renamed.directory, renamed.names);
    }
    directories_.clear();
}
