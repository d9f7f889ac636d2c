// SPDX-License-Identifier: MIT
#include "terminal/held_messages.h"

#include "terminal/progress.h"

#include "libtools/tool_console.h"

#include <cstdio>
#include <new>

namespace {

thread_local HeldMessages *capture = nullptr;

} // namespace

bool HeldMessages::add(const std::string &text) noexcept {
    try {
        parts_.push_back(Part{false, text});
        return true;
    } catch (const std::bad_alloc &) {
        return false;
    }
}

bool HeldMessages::add_point(const std::string &key) noexcept {
    try {
        parts_.push_back(Part{true, key});
        return true;
    } catch (const std::bad_alloc &) {
        return false;
    }
}

void HeldMessages::write(PointWriter points) {
    for (const Part &part : parts_) {
        if (part.point) {
            if (points != nullptr) {
                points(part.text);
            }
            continue;
        }
        progress_erase();
        tool_console_write(part.text.c_str(), stderr);
    }
    parts_.clear();
}

HeldMessages *held_messages() {
    return capture;
}

MessageCapture::MessageCapture(HeldMessages *held) : previous_(capture) {
    capture = held;
}

MessageCapture::~MessageCapture() {
    capture = previous_;
}
