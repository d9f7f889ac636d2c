// SPDX-License-Identifier: MIT
#include "pipeline/worker_faults.h"

#include <atomic>
#include <new>

namespace {

std::atomic<long> countdown[static_cast<int>(WorkerSide::count)] = {};

} // namespace

void fail_nth_worker_block(WorkerSide side, long n) {
    countdown[static_cast<int>(side)].store(n > 0 ? n : 0);
}

void throw_if_block_fails(WorkerSide side) {
    std::atomic<long> &left = countdown[static_cast<int>(side)];
    long now = left.load(std::memory_order_relaxed);
    while (now > 0 && !left.compare_exchange_weak(now, now - 1)) {
    }
    if (now == 1) {
        throw std::bad_alloc();
    }
}
