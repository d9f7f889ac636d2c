// SPDX-License-Identifier: MIT
// The files of a run committed in batches, in the run's order. Each file of a batch
// was prepared apart (file/file_task.h): its replacement is written and its write-back
// started. The batch then waits for all of their syncs at once, and only then, file by
// file in the run's order, writes the file's held messages, checks that no earlier
// file of the run was the same one, makes its backup, renames its replacement over it
// and reports; at the end each directory renamed into is synced once, and the files
// are let go of (locks released, marks taken off) on several threads at once. A crash at any
// point leaves each file whole: old, or new once its own content was on disk.
//
// A batch is bounded (files, bytes, open descriptors), so a run over any number of
// files holds only so many open at once.
//
// Threads: the thread that runs the run (the main thread), which owns the FileRun.
#ifndef JOINT2SI_FILE_COMMIT_BATCH_H
#define JOINT2SI_FILE_COMMIT_BATCH_H

#include "file/file_settings.h"
#include "file/file_task.h"
#include "file/rewrite_file.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CommitBatch {
  public:
    /// Called for each file, in the run's order, once it is done with: its result
    /// (converted, skipped or failed after its messages).
    using Done = std::function<void(const FileTask &task, FileResult result)>;

    CommitBatch(const FileSettings &settings, FileRun *run, Done done);
    CommitBatch(const CommitBatch &) = delete;
    CommitBatch &operator=(const CommitBatch &) = delete;

    /// The most files a batch holds: bounded by the descriptors the process may open
    /// (each waiting file holds up to three, and as many wait prepared ahead of the
    /// batch) and by the guards of temporary files.
    static int most_files();
    /// The most descriptors a run's batches and the files prepared ahead hold at once.
    static long most_descriptors();

    /// Adds the next file of the run's order (prepared, not busy).
    void add(std::unique_ptr<FileTask> task);
    /// Whether the batch should be committed before another file joins it.
    bool full() const;
    bool empty() const { return tasks_.empty(); }
    /// Commits the files of the batch as described above and empties it.
    void flush();

  private:
    FileResult finish(FileTask *task);
    FileResult commit(FileTask *task);
    void note_renamed_into(const char *target, const char *name);
    void sync_directory(const std::string &directory, const std::vector<std::string> &names);
    void sync_directories();
    void let_go();

    const FileSettings &settings_;
    FileRun *run_;
    Done done_;
    std::vector<std::unique_ptr<FileTask>> tasks_;
    // A directory renamed into, to be synced, and the files renamed there (named should
    // its sync fail).
    struct RenamedInto {
        std::string directory;
        std::vector<std::string> names;
    };
    std::vector<RenamedInto> directories_;
    unsigned long long bytes_ = 0; // of the replacements waiting
    int replacements_ = 0;         // waiting to be committed
};

#endif
