// SPDX-License-Identifier: MIT
// The parts of the worker threads that are the same on every system: the record,
// telling a worker to stop, and cutting its calls until it has.
#include "platform/thread_shared.h"

#include "platform/system_error.h"

#include <chrono>
#include <new>

namespace platform {

namespace {

// The worker the calling thread is; null in every other thread.
thread_local Thread *current = nullptr;

// How long a stopping worker has to leave its entry before its call is cut again: a
// cut that came while it was between two calls missed the second one.
constexpr std::chrono::milliseconds kCutAgain{2};

} // namespace

void run_thread(Thread *thread) {
    current = thread;
    thread->entry(thread->argument);
    {
        std::lock_guard<std::mutex> lock(thread->mutex);
        thread->ended = true;
    }
    thread->ended_signal.notify_all();
}

Thread *start_thread(void (*entry)(void *), void *argument) {
    if (entry == nullptr) {
        errno = EINVAL;
        return nullptr;
    }
    auto *thread = new (std::nothrow) Thread;
    if (thread == nullptr) {
        errno = ENOMEM;
        return nullptr;
    }
    thread->entry = entry;
    thread->argument = argument;
    if (!create_system_thread(thread)) {
        const SavedError reason;
        delete thread;
        return nullptr;
    }
    return thread;
}

void join_thread(Thread *thread) {
    if (thread != nullptr) {
        join_system_thread(thread);
        delete thread;
    }
}

void stop_thread(Thread *thread) {
    if (thread == nullptr) {
        return;
    }
    thread->stop.store(true);
    {
        std::unique_lock<std::mutex> lock(thread->mutex);
        while (!thread->ended) {
            cut_system_call(thread);
            thread->ended_signal.wait_for(lock, kCutAgain);
        }
    }
    join_thread(thread);
}

bool in_worker_thread() {
    return current != nullptr;
}

bool told_to_stop() {
    return current != nullptr && current->stop.load();
}

} // namespace platform
