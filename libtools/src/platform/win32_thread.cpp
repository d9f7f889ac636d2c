// SPDX-License-Identifier: MIT
// Workers on Windows: console interrupts arrive on a thread of the system's own, so
// a worker has nothing to block; a blocking call is cut with CancelSynchronousIo.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/system_error.h"
#include "platform/thread_shared.h"

#include <process.h>

#include <cerrno>
#include <cstdint>
#include <new>

namespace platform {

struct SystemThread {
    HANDLE handle;
};

namespace {

unsigned __stdcall thread_entry(void *argument) {
    run_thread(static_cast<Thread *>(argument));
    return 0;
}

} // namespace

bool create_system_thread(Thread *thread) {
    auto *system = new (std::nothrow) SystemThread;
    if (system == nullptr) {
        errno = ENOMEM;
        return false;
    }
    // _beginthreadex rather than CreateThread: the worker uses the C runtime, and
    // _beginthreadex leaves its reason in errno.
    const std::uintptr_t handle = _beginthreadex(nullptr, 0, thread_entry, thread, 0, nullptr);
    if (handle == 0) {
        const SavedError reason;
        delete system;
        return false;
    }
    system->handle = reinterpret_cast<HANDLE>(handle);
    thread->system = system;
    return true;
}

void cut_system_call(Thread *thread) {
    CancelSynchronousIo(thread->system->handle);
}

void join_system_thread(Thread *thread) {
    WaitForSingleObject(thread->system->handle, INFINITE);
    CloseHandle(thread->system->handle);
    delete thread->system;
    thread->system = nullptr;
}

// Windows keeps a thread's context switches only in its system-wide process list,
// without telling a wait from a preemption.
long times_waited() {
    return -1;
}

} // namespace platform
