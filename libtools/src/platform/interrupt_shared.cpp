// SPDX-License-Identifier: MIT
// The pool of guard slots for replacements, the same on every system.
#include "platform/interrupt.h"

#include <array>
#include <cstddef>
#include <mutex>

namespace platform {

namespace {

std::mutex pool_lock;
std::array<bool, GuardSlot::count> taken = {};

} // namespace

int take_replacement_slot() {
    const std::lock_guard<std::mutex> hold(pool_lock);
    for (int slot = GuardSlot::first_replacement; slot < GuardSlot::count; ++slot) {
        if (!taken.at(static_cast<std::size_t>(slot))) {
            taken.at(static_cast<std::size_t>(slot)) = true;
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
    taken.at(static_cast<std::size_t>(slot)) = false;
}

} // namespace platform
