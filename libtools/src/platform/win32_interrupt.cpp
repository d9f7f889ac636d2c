// SPDX-License-Identifier: MIT
// Interrupts on Windows are console control events (Ctrl-C, Ctrl-Break, closing
// the console, log-off, shutdown). The system delivers them on a thread of its
// own, so the guarded path and the hold are shared under one lock: while the main
// thread holds interrupts, the handler waits for the lock. Worker threads never
// take these events, so they have nothing to block (thread.h); a worker holds them
// only while it creates and guards a file (hold_interrupts_in_worker).
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/interrupt.h"
#include "platform/thread.h"
#include "platform/wide_names.h"

#include <cassert>
#include <cstring>

namespace platform {

namespace {

// The guarded paths live in static storage, already in the system's wide form, so
// the handler needs no allocation. A replacement beside a target near MAX_PATH has a
// longer path, in the extended-length form.
constexpr std::size_t kGuardedLength = 2 * MAX_PATH;
constexpr int kSlots = GuardSlot::count;
wchar_t guarded_path[kSlots][kGuardedLength];
bool guarding[kSlots] = {};
bool installed = false;
bool ending = false; // set by the handler, under the lock
CRITICAL_SECTION state_lock;
INIT_ONCE lock_ready = INIT_ONCE_STATIC_INIT;

BOOL CALLBACK initialise_lock(PINIT_ONCE, PVOID, PVOID *) {
    InitializeCriticalSection(&state_lock);
    return TRUE;
}

void lock() {
    InitOnceExecuteOnce(&lock_ready, initialise_lock, nullptr, nullptr);
    EnterCriticalSection(&state_lock);
}

void unlock() {
    LeaveCriticalSection(&state_lock);
}

// Removes the guarded files, then lets the next handler (by default the one that
// ends the process) take the event. A file may still be open: each is created with
// delete sharing, so it goes when the process ends.
BOOL WINAPI remove_guarded(DWORD) {
    lock();
    ending = true;
    for (int slot = 0; slot < kSlots; ++slot) {
        if (guarding[slot]) {
            DeleteFileW(guarded_path[slot]);
            guarding[slot] = false;
        }
    }
    unlock();
    return FALSE;
}

// Called under the lock.
void install_once() {
    if (!installed) {
        installed = SetConsoleCtrlHandler(remove_guarded, TRUE) != 0;
    }
}

} // namespace

void guard_temporary(const std::string &path, int slot) {
    const int index = slot;
    if (index < 0 || index >= kSlots) {
        return;
    }
    const std::wstring wide = system_path_of(path);
    if (wide.empty() || wide.size() >= kGuardedLength) {
        return;
    }
    lock();
    std::memcpy(guarded_path[index], wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
    guarding[index] = true;
    install_once();
    unlock();
}

void release_temporary(int slot) {
    const int index = slot;
    if (index < 0 || index >= kSlots) {
        return;
    }
    lock();
    guarding[index] = false;
    unlock();
}

void hold_interrupts() {
    assert(!in_worker_thread() && "a worker never holds interrupts");
    lock();
    install_once(); // else an event during the hold would end the process at once
}

void resume_interrupts() {
    assert(!in_worker_thread() && "a worker never resumes interrupts");
    unlock();
}

// The handler waits for the lock, so a worker's hold is the lock too; the holds of
// several workers follow each other.
void hold_interrupts_in_worker() {
    lock();
    install_once(); // else an event during the hold would end the process at once
    // The process ends after the handler: make nothing more.
    if (ending) {
        unlock();
        Sleep(INFINITE);
    }
}

void resume_interrupts_in_worker() {
    unlock();
}

const int *interrupt_signal_numbers() {
    static const int none[] = {0};
    return none;
}

void ignore_write_signals() {}

} // namespace platform
