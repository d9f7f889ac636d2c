#include "platform/interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <climits>
#include <cstring>

namespace platform {

namespace {

const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The guarded path lives in static storage so the handler can use it without
// allocating; the handler may only make async-signal-safe calls.
char guarded_path[PATH_MAX + 1];
volatile sig_atomic_t guarding = 0;
struct sigaction previous[sizeof kSignals / sizeof kSignals[0]];
bool installed = false;

extern "C" void remove_guarded_and_reraise(int signal_number) {
    if (guarding != 0) {
        unlink(guarded_path);
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
    for (int signal_number : kSignals) {
        sigaddset(&action.sa_mask, signal_number);
    }
    // A signal the process was started with ignored (a background job) stays ignored.
    for (std::size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i) {
        sigaction(kSignals[i], nullptr, &previous[i]);
        if (previous[i].sa_handler != SIG_IGN) {
            sigaction(kSignals[i], &action, nullptr);
        }
    }
    installed = true;
}

void change_mask(int how) {
    sigset_t set;
    sigemptyset(&set);
    for (int signal_number : kSignals) {
        sigaddset(&set, signal_number);
    }
    sigprocmask(how, &set, nullptr);
}

} // namespace

void guard_temporary(const std::string &path) {
    if (path.size() > PATH_MAX) {
        return;
    }
    change_mask(SIG_BLOCK);
    std::memcpy(guarded_path, path.c_str(), path.size() + 1);
    guarding = 1;
    if (!installed) {
        install_handlers();
    }
    change_mask(SIG_UNBLOCK);
}

void release_temporary() {
    change_mask(SIG_BLOCK);
    guarding = 0;
    change_mask(SIG_UNBLOCK);
}

void hold_interrupts() {
    change_mask(SIG_BLOCK);
}

void resume_interrupts() {
    change_mask(SIG_UNBLOCK);
}

void ignore_write_signals() {
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
}

} // namespace platform
