// SPDX-License-Identifier: MIT
// Interrupts during a rewrite: an interrupt or termination signal (Ctrl-C,
// SIGTERM) removes the guarded temporary file before the process ends, and can
// be held off while the original file is being overwritten in place.
//
// Threads: interrupts are taken by the threads the program runs itself (the main
// thread), never by a worker started through thread.h. A worker starts with the
// interrupts blocked and keeps them blocked, so on POSIX an interrupt is always
// delivered to a thread that may hold it; on Windows interrupts arrive as console
// events on a thread of the system's own. Either way a hold made by the main thread
// delays every interrupt until that thread resumes them, and the removal of the
// guarded files never runs inside a worker. A worker guards its own files and holds
// interrupts through hold_interrupts_in_worker only; debug builds check that it never
// calls hold_interrupts or resume_interrupts.
#ifndef LIBTOOLS_PLATFORM_INTERRUPT_H
#define LIBTOOLS_PLATFORM_INTERRUPT_H

#include "platform/thread.h"

#include <string>

namespace platform {

/// The temporary files guarded at the same time: the copy that becomes a backup (one
/// slot), and the replacements of the files being rewritten, several at once when files
/// are converted on several threads and committed in batches (a slot each, taken with
/// take_replacement_slot).
struct GuardSlot {
    static constexpr int backup = 0;
    static constexpr int first_replacement = 1;
    static constexpr int replacements = 256;
    static constexpr int count = first_replacement + replacements;
};

/// Until release_temporary, an interrupt or termination removes `path` and then ends
/// the process as the signal would have. One path is guarded per slot; guarding another
/// path in a slot ends the guard of the one before. A worker may guard and release (the
/// slots of its own replacements); the removal itself never runs in a worker.
void guard_temporary(const std::string &path, int slot);
void release_temporary(int slot);

/// A free replacement slot, reserved until return_replacement_slot; 0 when every one is
/// taken (the replacement is then not guarded: an interrupt leaves it, and the next
/// run's sweep removes it). Safe in every thread.
int take_replacement_slot();
/// Releases the guard of `slot` and gives the slot back; 0 is ignored.
void return_replacement_slot(int slot);

/// Between hold_interrupts and resume_interrupts an interrupt waits; it takes effect at
/// resume_interrupts. Guarding and releasing a path in between keep it waiting, so a
/// file created and guarded under the hold is never left by an interrupt that came
/// between the two. Holds do not nest; the thread that holds is the one that resumes.
/// The contract is the same on both systems: the hold concerns the process's
/// interrupts, not only those aimed at the holding thread, because no worker takes one.
void hold_interrupts();
void resume_interrupts();

/// The hold of a worker that creates a file and guards it: an interrupt that comes in
/// between waits until the worker has guarded the file, so that the removal finds it.
/// Unlike hold_interrupts, holds of several workers may overlap. A worker that begins
/// a hold while the process is already ending for an interrupt waits there for the
/// end, making nothing more.
void hold_interrupts_in_worker();
void resume_interrupts_in_worker();

/// hold_interrupts (in a worker hold_interrupts_in_worker) for as long as it lives,
/// also when an exception passes.
class InterruptHold {
  public:
    InterruptHold() : worker_(in_worker_thread()) {
        if (worker_) {
            hold_interrupts_in_worker();
        } else {
            hold_interrupts();
        }
    }
    ~InterruptHold() {
        if (worker_) {
            resume_interrupts_in_worker();
        } else {
            resume_interrupts();
        }
    }
    InterruptHold(const InterruptHold &) = delete;
    InterruptHold &operator=(const InterruptHold &) = delete;

  private:
    bool worker_;
};

/// The signal numbers interrupts and terminations arrive as on this system, ended by 0:
/// the signals a worker thread blocks. Empty on Windows.
const int *interrupt_signal_numbers();

/// Makes the signals that a failing write raises on POSIX systems (SIGPIPE for a closed
/// pipe, SIGXFSZ for a file-size limit) ignored, so the write reports an error instead
/// of ending the process. Nothing to do on Windows.
void ignore_write_signals();

} // namespace platform

#endif
