// SPDX-License-Identifier: MIT
#include "pipeline/reading_stop.h"

void ReadingStop::attach(BlockChannel *filled) noexcept {
    std::lock_guard<std::mutex> lock(mutex_);
    filled_ = filled;
    if (stopped_ && filled_ != nullptr) {
        filled_->cancel();
    }
}

void ReadingStop::detach() noexcept {
    std::lock_guard<std::mutex> lock(mutex_);
    filled_ = nullptr;
}

void ReadingStop::stop() noexcept {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
    if (filled_ != nullptr) {
        filled_->cancel();
    }
}

void ReadingStop::clear() noexcept {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = false;
}
