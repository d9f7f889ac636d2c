// SPDX-License-Identifier: MIT
// The pool of guard slots for replacements, the same on every system.
#include "platform/interrupt.h"

#include <mutex>

namespace platform {

namespace {

std::mutex pool_lock;
bool taken[GuardSlot::count] = {};

} // namespace

int take_replacement_slot() {
    const std::lock_guard<std::mutex> hold(pool_lock);
    for (int slot = GuardSlot::first_replacement; slot < GuardSlot::count; ++slot) {
        if (!taken[slot]) {
            taken[slot] = true;
            return slot;
        }
    }
    return 0;
}

void return_replacement_slot(int slot) {
    if (slot < GuardSlot::first_replacement || slot >= GuardSlot::count) {
        return;
    }
    release_temporary(slot);
    const std::lock_guard<std::mutex> hold(pool_lock);
    taken[slot] = false;
}

} // namespace platform
