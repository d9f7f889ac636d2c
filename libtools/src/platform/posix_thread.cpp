// SPDX-License-Identifier: MIT
#include "platform/interrupt.h"
#include "platform/thread_shared.h"

#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>

#include <cerrno>
#include <new>

namespace platform {

struct SystemThread {
    pthread_t id;
};

namespace {

// Ignored by default and raised by the system only for a socket's owner, which this
// program never is; a stray one sent from outside cuts one call of a worker at most.
constexpr int kCutSignal = SIGURG;

// Does nothing: what matters is that the call it lands in fails with EINTR.
extern "C" void on_cut(int) {}

void install_cut_handler() {
    static const bool installed = [] {
        struct sigaction action {};
        action.sa_handler = on_cut;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0; // without SA_RESTART, so the call is not taken up again
        return sigaction(kCutSignal, &action, nullptr) == 0;
    }();
    static_cast<void>(installed);
}

sigset_t signal_set(const int *numbers) {
    sigset_t set;
    sigemptyset(&set);
    for (; *numbers != 0; ++numbers) {
        sigaddset(&set, *numbers);
    }
    return set;
}

extern "C" void *thread_entry(void *argument) {
    const int cut[] = {kCutSignal, 0};
    const sigset_t cut_set = signal_set(cut);
    pthread_sigmask(SIG_UNBLOCK, &cut_set, nullptr);
    run_thread(static_cast<Thread *>(argument));
    return nullptr;
}

} // namespace

bool create_system_thread(Thread *thread) {
    install_cut_handler();
    auto *system = new (std::nothrow) SystemThread;
    if (system == nullptr) {
        errno = ENOMEM;
        return false;
    }
    // The new thread inherits the mask, so it never has the interrupts unblocked.
    const sigset_t interrupts = signal_set(interrupt_signal_numbers());
    sigset_t before;
    pthread_sigmask(SIG_BLOCK, &interrupts, &before);
    const int created = pthread_create(&system->id, nullptr, thread_entry, thread);
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    if (created != 0) {
        delete system;
        errno = created; // pthread_create gives its reason as its result
        return false;
    }
    thread->system = system;
    return true;
}

void cut_system_call(Thread *thread) {
    pthread_kill(thread->system->id, kCutSignal);
}

void join_system_thread(Thread *thread) {
    pthread_join(thread->system->id, nullptr);
    delete thread->system;
    thread->system = nullptr;
}

long times_waited() {
#ifdef RUSAGE_THREAD
    struct rusage usage {};
    if (getrusage(RUSAGE_THREAD, &usage) == 0) {
        return usage.ru_nvcsw; // the voluntary context switches
    }
#endif
    return -1;
}

} // namespace platform
