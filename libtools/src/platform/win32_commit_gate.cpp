// SPDX-License-Identifier: MIT
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/commit_gate.h"

#include <cwchar>

namespace platform {

namespace {

// The mutex's name in the namespace all sessions share, or in the session's own where
// the system refuses the shared one.
void gate_name(const FileIdentity &identity, bool global, wchar_t (&name)[80]) {
    std::swprintf(name, 80, L"%ls\\joint2si-commit-%llx-%llx", global ? L"Global" : L"Local",
                  identity.device, identity.index);
}

HANDLE open_gate(const FileIdentity &identity) {
    wchar_t name[80];
    for (const bool global : {true, false}) {
        gate_name(identity, global, name);
        const HANDLE gate = OpenMutexW(SYNCHRONIZE, FALSE, name);
        if (gate != nullptr) {
            return gate;
        }
    }
    return nullptr;
}

} // namespace

CommitGate::CommitGate(const FileIdentity &identity) {
    wchar_t name[80];
    for (const bool global : {true, false}) {
        gate_name(identity, global, name);
        HANDLE gate = CreateMutexW(nullptr, FALSE, name);
        if (gate == nullptr) {
            continue;
        }
        const DWORD waited = WaitForSingleObject(gate, INFINITE);
        if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
            handle_ = gate;
            return;
        }
        CloseHandle(gate);
    }
}

CommitGate::~CommitGate() {
    if (handle_ != nullptr) {
        ReleaseMutex(static_cast<HANDLE>(handle_));
        CloseHandle(static_cast<HANDLE>(handle_));
    }
}

// The gate is free when it does not exist, or when it can be taken at once (a gate
// this thread holds itself is free to it: a run takes its own file's lock again while
// it holds the gate).
bool commit_gate_closed(const FileIdentity &identity) {
    const HANDLE gate = open_gate(identity);
    if (gate == nullptr) {
        return false;
    }
    const DWORD waited = WaitForSingleObject(gate, 0);
    const bool closed = waited == WAIT_TIMEOUT;
    if (!closed && (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED)) {
        ReleaseMutex(gate);
    }
    CloseHandle(gate);
    return closed;
}

void wait_for_commit_gate(const FileIdentity &identity) {
    const HANDLE gate = open_gate(identity);
    if (gate == nullptr) {
        return;
    }
    const DWORD waited = WaitForSingleObject(gate, INFINITE);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
        ReleaseMutex(gate);
    }
    CloseHandle(gate);
}

} // namespace platform
