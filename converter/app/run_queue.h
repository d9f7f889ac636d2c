// SPDX-License-Identifier: MIT
// The files of a real run: prepared (locked, converted, their write-back started) on
// `jobs` threads at once, committed in batches in the run's order, every message in
// that order. With one job the files are prepared in the calling thread, one after the
// other, and still committed in batches.
//
// Order: a file is prepared without waiting for its lock. One whose lock another holds
// (the same file reached by an earlier name of the run, or another process) is
// prepared again when its turn comes, after every file before it was committed and
// every file after it prepared so far was put back, so it waits only for what one job
// would have waited for. The messages the calling thread gives between files (a
// pattern that matched nothing) are held in the same order.
//
// Threads: the calling thread (the main thread) adds, drains and commits, and while it
// waits for the next file in the order it prepares files itself; `jobs` - 1 workers
// (tool_thread.h, interrupts blocked) only run prepare_file on the files handed to
// them, each file in one thread at a time. The queue between them is under one lock.
#ifndef JOINT2SI_APP_RUN_QUEUE_H
#define JOINT2SI_APP_RUN_QUEUE_H

#include "file/commit_batch.h"
#include "file/file_task.h"

#include "libtools/tool_thread.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

/// The most jobs --jobs takes.
constexpr int kMostJobs = 64;

class RunQueue {
  public:
    /// `jobs` files prepared at once: the calling thread and `jobs` - 1 workers (1: the
    /// calling thread alone); `done` as CommitBatch's.
    RunQueue(const FileSettings &settings, FileRun *run, int jobs, CommitBatch::Done done);
    ~RunQueue();
    RunQueue(const RunQueue &) = delete;
    RunQueue &operator=(const RunQueue &) = delete;

    /// The held messages of the calling thread between files: install it with a
    /// MessageCapture for as long as the run adds files.
    HeldMessages *notes() { return &notes_; }

    /// Adds the next file of the run; `listed`, when not null, is the identity the walk
    /// saw for it, which the file locked must have.
    void add(const std::string &name, const ToolFileIdentity *listed = nullptr);
    /// Commits every file added so far and writes every message held.
    void drain();

  private:
    struct Entry {
        std::unique_ptr<FileTask> task;
        bool prepared = false; // under lock_ while workers run
    };

    static void work(void *context);
    void work_until_stopped();
    void start_workers(int jobs);
    void stop_workers();
    void hold_notes();
    void settle_front();
    void prepare_waiting(FileTask *task);
    void wait_prepared(const Entry &entry);
    Entry *take_to_do(const Entry *wanted);

    const FileSettings &settings_;
    CommitBatch batch_;
    HeldMessages notes_;
    std::deque<Entry> order_; // added, not yet handed to the batch (main thread only)
    std::size_t window_;      // the most files in order_
    int jobs_;                // the jobs whose workers start at the first file (1: none)
    Progress *progress_;      // the run's progress line

    std::mutex lock_;
    std::condition_variable work_ready_;
    std::condition_variable prepared_;
    std::deque<Entry *> to_do_; // under lock_
    bool stopping_ = false;     // under lock_
    std::vector<ToolThread *> workers_;
};

/// The jobs of a run: `asked` (--jobs), or when 0 the cores the process may use; at
/// most kMostJobs.
int jobs_of(int asked);

#endif
