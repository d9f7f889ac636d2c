// SPDX-License-Identifier: MIT
// The toolkit's worker threads: the C interface over the platform layer's threads.
// The handle a caller holds is the platform's own record.
#include "libtools/tool_thread.h"

#include "platform/thread.h"
#include "platform/write_back.h"

namespace {

platform::Thread *record_of(ToolThread *thread) {
    return reinterpret_cast<platform::Thread *>(thread);
}

} // namespace

extern "C" {

ToolThread *tool_thread_start(void (*body)(void *context), void *context) {
    return reinterpret_cast<ToolThread *>(platform::start_thread(body, context));
}

void tool_thread_join(ToolThread **thread) {
    if (thread != nullptr && *thread != nullptr) {
        platform::join_thread(record_of(*thread));
        *thread = nullptr;
    }
}

void tool_thread_stop(ToolThread **thread) {
    if (thread != nullptr && *thread != nullptr) {
        platform::stop_thread(record_of(*thread));
        *thread = nullptr;
    }
}

int tool_thread_usable_cores(void) {
    return platform::usable_cores();
}

int tool_thread_is_worker(void) {
    return platform::in_worker_thread() ? 1 : 0;
}

int tool_thread_told_to_stop(void) {
    return platform::told_to_stop() ? 1 : 0;
}

} // extern "C"
