// SPDX-License-Identifier: MIT
#include "app/run_queue.h"

#include "terminal/messages.h"

#include "libtools/tool_sys_io.h"

#include <algorithm>
#include <new>

namespace {

// Files prepared ahead of the batch: as many as a batch holds, so that the workers
// prepare the next batch while the main thread waits for this one's syncs and commits
// it, within the guards of temporary files (a slot per replacement). The descriptors
// they hold are counted in CommitBatch::most_files.
std::size_t window() {
    constexpr int kGuards = 256;
    const int ahead = std::min(CommitBatch::most_files(), kGuards - CommitBatch::most_files());
    return static_cast<std::size_t>(std::max(ahead, 2));
}

} // namespace

RunQueue::RunQueue(const FileSettings &settings, FileRun *run, int jobs, CommitBatch::Done done)
    : settings_(settings), batch_(settings, run, std::move(done)), window_(window()), jobs_(jobs),
      progress_(run->progress) {
    // Before any thread of the run starts: with threads, growing the table of open files
    // stops every thread that opens one for a while.
    tool_reserve_open_files(CommitBatch::most_descriptors());
}

RunQueue::~RunQueue() {
    try {
        drain();
    } catch (const std::bad_alloc &) {
        report_out_of_memory(); // the files still waiting are abandoned, untouched
    }
    stop_workers();
}

void RunQueue::start_workers(int jobs) {
    workers_.reserve(static_cast<std::size_t>(jobs)); // no allocation once one runs
    for (int i = 0; i < jobs; ++i) {
        ToolThread *worker = tool_thread_start(work, this);
        if (worker == nullptr) {
            break; // the workers there are take every file; none: the main thread does
        }
        workers_.push_back(worker);
    }
}

void RunQueue::stop_workers() {
    {
        const std::lock_guard<std::mutex> hold(lock_);
        stopping_ = true;
    }
    work_ready_.notify_all();
    for (ToolThread *&worker : workers_) {
        tool_thread_join(&worker);
    }
    workers_.clear();
}

void RunQueue::work(void *context) {
    static_cast<RunQueue *>(context)->work_until_stopped();
}

// A worker's loop: prepares the next file handed over until told to stop. prepare_file
// throws nothing, and the queue's own steps allocate nothing.
void RunQueue::work_until_stopped() {
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        work_ready_.wait(hold, [this] { return stopping_ || !to_do_.empty(); });
        if (to_do_.empty()) {
            return;
        }
        Entry *entry = to_do_.front();
        to_do_.pop_front();
        hold.unlock();
        prepare_file(entry->task.get(), settings_, false);
        hold.lock();
        entry->prepared = true;
        prepared_.notify_all();
    }
}

// Messages the calling thread gave since the last file take their place in the order.
void RunQueue::hold_notes() {
    if (notes_.empty()) {
        return;
    }
    Entry entry;
    entry.task.reset(new FileTask);
    entry.task->note_only = true;
    std::swap(entry.task->messages, notes_);
    entry.prepared = true;
    order_.push_back(std::move(entry));
}

void RunQueue::add(const std::string &name, const ToolFileIdentity *listed) {
    // The first file starts the workers (a run of "-" alone needs none); the main thread
    // is one of the jobs.
    if (jobs_ > 1) {
        start_workers(jobs_ - 1);
        jobs_ = 1;
    }
    hold_notes();
    Entry entry;
    entry.task.reset(new FileTask);
    entry.task->name = name;
    entry.task->listed_known = listed != nullptr;
    entry.task->listed = listed != nullptr ? *listed : ToolFileIdentity{};
    entry.task->progress = progress_;
    if (workers_.empty()) {
        prepare_file(entry.task.get(), settings_, false);
        entry.prepared = true;
        order_.push_back(std::move(entry));
    } else {
        const std::lock_guard<std::mutex> hold(lock_);
        order_.push_back(std::move(entry)); // a deque keeps the addresses of its entries
        to_do_.push_back(&order_.back());
        work_ready_.notify_one();
    }
    while (order_.size() >= window_ || (workers_.empty() && !order_.empty())) {
        settle_front();
    }
}

void RunQueue::drain() {
    hold_notes();
    while (!order_.empty()) {
        settle_front();
    }
    batch_.flush();
    const MessageCapture direct(nullptr);
    notes_.write(nullptr);
}

// Waits until `entry` is prepared, preparing files in this thread meanwhile: `entry`
// itself when no worker took it yet, else the next one to do. Sleeping instead would
// leave a core idle while the workers' files wait, and wake this thread once a file.
void RunQueue::wait_prepared(const Entry &entry) {
    if (workers_.empty()) {
        return;
    }
    std::unique_lock<std::mutex> hold(lock_);
    while (!entry.prepared) {
        if (to_do_.empty()) {
            prepared_.wait(hold);
            continue;
        }
        Entry *next = take_to_do(&entry);
        hold.unlock();
        prepare_file(next->task.get(), settings_, false);
        hold.lock();
        next->prepared = true;
    }
}

// Takes `wanted` off the files to do when it is there, else the first of them; under
// lock_, with files to do.
RunQueue::Entry *RunQueue::take_to_do(const Entry *wanted) {
    auto at = std::find(to_do_.begin(), to_do_.end(), wanted);
    if (at == to_do_.end()) {
        at = to_do_.begin();
    }
    Entry *taken = *at;
    to_do_.erase(at);
    return taken;
}

// Hands the first file of the order to the batch once it is prepared.
void RunQueue::settle_front() {
    wait_prepared(order_.front());
    std::unique_ptr<FileTask> task = std::move(order_.front().task);
    order_.pop_front();
    if (task->busy) {
        prepare_waiting(task.get());
    }
    batch_.add(std::move(task));
    if (batch_.full()) {
        batch_.flush();
    }
}

// Prepares a file whose lock was held, as one job would: after every file before it
// was committed (releasing their locks) and every file after it put back (releasing
// theirs), waiting for the lock as long as another process holds it.
void RunQueue::prepare_waiting(FileTask *task) {
    batch_.flush();
    for (const Entry &later : order_) {
        wait_prepared(later);
    }
    for (Entry &later : order_) {
        if (!later.task->note_only) {
            later.task->reset();
            const std::lock_guard<std::mutex> hold(lock_);
            later.prepared = false;
        }
    }
    task->reset();
    prepare_file(task, settings_, true);
    for (Entry &later : order_) {
        if (later.task->note_only) {
            continue;
        }
        if (workers_.empty()) {
            prepare_file(later.task.get(), settings_, false);
            later.prepared = true;
            continue;
        }
        const std::lock_guard<std::mutex> hold(lock_);
        to_do_.push_back(&later);
    }
    work_ready_.notify_all();
}

int jobs_of(int asked) {
    const int jobs = asked > 0 ? asked : tool_thread_usable_cores();
    return std::max(1, std::min(jobs, kMostJobs));
}
