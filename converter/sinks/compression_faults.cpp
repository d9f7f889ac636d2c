// SPDX-License-Identifier: MIT
#include "sinks/compression_faults.h"

#include <atomic>
#include <new>

namespace {

std::atomic<long> countdown{0};

} // namespace

void fail_nth_compressed_block(long n) {
    countdown.store(n > 0 ? n : 0);
}

void throw_if_compression_fails() {
    long now = countdown.load(std::memory_order_relaxed);
    while (now > 0 && !countdown.compare_exchange_weak(now, now - 1)) {
    }
    if (now == 1) {
        throw std::bad_alloc();
    }
}
