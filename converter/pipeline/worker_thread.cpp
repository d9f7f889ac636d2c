// SPDX-License-Identifier: MIT
#include "pipeline/worker_thread.h"

bool WorkerThread::start(Body body, void *context) noexcept {
    body_ = body;
    context_ = context;
    error_ = nullptr;
    thread_ = tool_thread_start(run, this);
    return thread_ != nullptr;
}

void WorkerThread::run(void *self) noexcept {
    auto *worker = static_cast<WorkerThread *>(self);
    try {
        worker->body_(worker->context_);
    } catch (...) {
        worker->error_ = std::current_exception();
    }
}
