// SPDX-License-Identifier: MIT
// Windows only: the gate of a file's commit where the system cannot replace a file
// that is open (Windows before POSIX rename semantics, Wine). The run that commits
// holds the lock of its target (file_lock.h) through an open handle, and while any
// handle is open the rename is refused; so for the rename it lets go of the lock,
// having first taken the gate of the file, a named mutex of its identity. A run that
// takes the lock while the gate is held lets go of it at once and waits for the gate:
// no other run reads the file in that moment, and no handle of theirs stays open to
// stop the rename. A mutex is released by the system when its holder ends, so a
// killed run never leaves a gate closed.
#ifndef LIBTOOLS_PLATFORM_COMMIT_GATE_H
#define LIBTOOLS_PLATFORM_COMMIT_GATE_H

#include "platform/replace.h"

namespace platform {

/// Holds the gate of the file `identity` names for as long as it lives (waiting
/// while another thread or process holds it).
class CommitGate {
  public:
    explicit CommitGate(const FileIdentity &identity);
    ~CommitGate();
    CommitGate(const CommitGate &) = delete;
    CommitGate &operator=(const CommitGate &) = delete;
    /// Whether the gate could be made and is held.
    bool held() const { return handle_ != nullptr; }

  private:
    void *handle_ = nullptr;
};

/// Asked by a run that has just taken the lock of the file `identity`: true when
/// another run holds its gate, in which case the caller lets go of the lock and, with
/// `wait`, calls wait_for_commit_gate before it starts again.
bool commit_gate_closed(const FileIdentity &identity);

/// Waits until no other run holds the gate of `identity`.
void wait_for_commit_gate(const FileIdentity &identity);

} // namespace platform

#endif
