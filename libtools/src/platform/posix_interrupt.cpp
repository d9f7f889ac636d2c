// SPDX-License-Identifier: MIT
// Interrupts on POSIX systems are signals. Worker threads keep them blocked
// (thread.h), so they are delivered to the threads that call the functions here,
// and a mask set with pthread_sigmask in the holding thread holds them for the
// whole process.
#include "platform/interrupt.h"
#include "platform/thread.h"

#include <pthread.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cassert>
#include <climits>
#include <cstring>
#include <mutex>

namespace platform {

namespace {

// The signals handled here, ended by 0 as interrupt_signal_numbers gives them.
constexpr int kSignalCount = 3;
const int kSignals[kSignalCount + 1] = {SIGINT, SIGTERM, SIGHUP, 0};

// The guarded paths live in static storage so the handler can use them without
// allocating; the handler may only make async-signal-safe calls.
constexpr int kSlots = GuardSlot::count;
char guarded_path[kSlots][PATH_MAX + 1];
// Set by the thread that guards (a worker among them), read by the handler on another
// thread: lock-free atomics, safe in a signal handler.
std::atomic<int> guarding[kSlots] = {};
static_assert(ATOMIC_INT_LOCK_FREE == 2, "the handler reads the flags");
struct sigaction previous[kSignalCount];
std::once_flag installed;

// Workers between the creation of a file and its guard (hold_interrupts_in_worker),
// and whether the process is ending for an interrupt. Sequentially consistent: a
// worker either sees `ending` and makes nothing, or the handler sees its hold.
std::atomic<int> worker_holds{0};
std::atomic<bool> ending{false};
static_assert(ATOMIC_BOOL_LOCK_FREE == 2, "the handler sets the flag");

// Waits, in the handler, until no worker is between a creation and its guard; at most
// a few seconds, in case a worker's hold waits for something the interrupted thread
// holds. clock_gettime is safe in a signal handler.
void wait_for_worker_holds() {
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    while (worker_holds.load() != 0) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        if (now.tv_sec - start.tv_sec >= 3) {
            return;
        }
    }
}

extern "C" void remove_guarded_and_reraise(int signal_number) {
    ending.store(true);
    wait_for_worker_holds();
    for (int slot = 0; slot < kSlots; ++slot) {
        if (guarding[slot].load(std::memory_order_acquire) != 0) {
            unlink(guarded_path[slot]);
        }
    }
    struct sigaction restore {};
    restore.sa_handler = SIG_DFL;
    sigemptyset(&restore.sa_mask);
    sigaction(signal_number, &restore, nullptr);
    raise(signal_number);
}

void install_handlers() {
    struct sigaction action {};
    action.sa_handler = remove_guarded_and_reraise;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < kSignalCount; ++i) {
        sigaddset(&action.sa_mask, kSignals[i]);
    }
    // A signal the process was started with ignored (a background job) stays ignored.
    for (int i = 0; i < kSignalCount; ++i) {
        sigaction(kSignals[i], nullptr, &previous[i]);
        if (previous[i].sa_handler != SIG_IGN) {
            sigaction(kSignals[i], &action, nullptr);
        }
    }
}

// Whether the calling thread is the one between hold_interrupts and resume_interrupts:
// the signals handled here are blocked in it already, as they are in every worker.
thread_local bool holding_here = false;

bool blocked_here() {
    return holding_here || in_worker_thread();
}

// Changes the mask of the signals handled here; `old` (when not null) receives the mask
// before, so that a caller inside hold_interrupts can give back exactly that.
void change_mask(int how, sigset_t *old = nullptr) {
    sigset_t set;
    sigemptyset(&set);
    for (int i = 0; i < kSignalCount; ++i) {
        sigaddset(&set, kSignals[i]);
    }
    pthread_sigmask(how, &set, old);
}

} // namespace

void guard_temporary(const std::string &path, int slot) {
    const int index = slot;
    if (path.size() > PATH_MAX || index < 0 || index >= kSlots) {
        return;
    }
    // The handler may run in this thread: unless the signals are blocked here already,
    // they are while the slot holds no whole path, so that one arriving meanwhile finds
    // the new path once they are unblocked.
    const bool blocked = blocked_here();
    sigset_t before;
    if (!blocked) {
        change_mask(SIG_BLOCK, &before);
    }
    guarding[index].store(0, std::memory_order_release); // never a half-written path
    std::memcpy(guarded_path[index], path.c_str(), path.size() + 1);
    guarding[index].store(1, std::memory_order_release);
    std::call_once(installed, install_handlers);
    if (!blocked) {
        pthread_sigmask(SIG_SETMASK, &before, nullptr);
    }
}

void release_temporary(int slot) {
    const int index = slot;
    if (index < 0 || index >= kSlots) {
        return;
    }
    // One store, which a handler sees whole: a signal before it removes the path, one
    // after it does not, as when the signal waited for the store.
    guarding[index].store(0, std::memory_order_release);
}

void hold_interrupts() {
    assert(!in_worker_thread() && "a worker never holds interrupts");
    change_mask(SIG_BLOCK);
    holding_here = true;
}

void resume_interrupts() {
    assert(!in_worker_thread() && "a worker never resumes interrupts");
    holding_here = false;
    change_mask(SIG_UNBLOCK);
}

void hold_interrupts_in_worker() {
    // The handler must be in place before the file is made: the worker's hold only
    // delays the handler, and without one a signal would end the process at once.
    std::call_once(installed, install_handlers);
    worker_holds.fetch_add(1);
    if (ending.load()) {
        worker_holds.fetch_sub(1);
        for (;;) {
            pause(); // the handler ends the process
        }
    }
}

void resume_interrupts_in_worker() {
    worker_holds.fetch_sub(1);
}

const int *interrupt_signal_numbers() {
    return kSignals;
}

void ignore_write_signals() {
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
}

} // namespace platform
