// SPDX-License-Identifier: MIT
#include "terminal/progress.h"

#include "libtools/tool_sys_io.h"

#include <cstdio>
#include <mutex>

namespace {

constexpr auto kQuietStart = std::chrono::seconds(1);
constexpr auto kRedraw = std::chrono::milliseconds(250);
constexpr double kMegabyte = 1024.0 * 1024.0;

Progress *active = nullptr;
// Positions come from the thread that reads ahead while messages come from the main
// thread: one lock keeps the line and the messages from writing over each other.
std::mutex terminal_lock;
using Guard = std::lock_guard<std::mutex>;

void erase(Progress *progress) {
    if (progress->shown != 0) {
        std::fprintf(stderr, "\r%*s\r", static_cast<int>(progress->shown), "");
        std::fflush(stderr);
        progress->shown = 0;
    }
}

void draw(Progress *progress, Progress::Clock::time_point now) {
    const double seconds = std::chrono::duration<double>(now - progress->start).count();
    const double rate = (progress->bytes_before + progress->done) / kMegabyte / seconds;
    char line[512];
    int length = std::snprintf(line, sizeof line, "%ld/%ld files", progress->files_done,
                               progress->files_matched);
    if (!progress->name.empty() && length > 0) {
        const int at = length;
        length += progress->size >= 0
                      ? std::snprintf(line + at, sizeof line - static_cast<std::size_t>(at),
                                      ", %.60s %lld/%lld bytes", progress->name.c_str(),
                                      progress->done, progress->size)
                      : std::snprintf(line + at, sizeof line - static_cast<std::size_t>(at),
                                      ", %.60s %lld bytes", progress->name.c_str(), progress->done);
    }
    std::snprintf(line + length, sizeof line - static_cast<std::size_t>(length), ", %.1f MB/s",
                  rate);
    const std::size_t now_shown = std::string(line).size();
    const int pad = progress->shown > now_shown ? static_cast<int>(progress->shown - now_shown) : 0;
    std::fprintf(stderr, "\r%s%*s", line, pad, "");
    std::fflush(stderr);
    progress->shown = now_shown + static_cast<std::size_t>(pad);
}

void maybe_draw(Progress *progress) {
    const auto now = Progress::Clock::now();
    if (now >= progress->next_draw) {
        progress->next_draw = now + kRedraw;
        draw(progress, now);
    }
}

} // namespace

void progress_begin(Progress *progress, bool wanted) {
    const Guard guard(terminal_lock);
    *progress = Progress{};
    progress->enabled = wanted && tool_stderr_is_terminal() != 0;
    progress->start = Progress::Clock::now();
    progress->next_draw = progress->start + kQuietStart;
    active = progress;
}

void progress_matched(Progress *progress, long count) {
    const Guard guard(terminal_lock);
    progress->files_matched += count;
}

void progress_file(Progress *progress, const char *name, long long size) {
    const Guard guard(terminal_lock);
    progress->name = name != nullptr ? name : "";
    progress->size = size;
    progress->done = 0;
    if (progress->enabled) {
        maybe_draw(progress);
    }
}

void progress_position(Progress *progress, long long done) {
    const Guard guard(terminal_lock);
    progress->done = done;
    if (progress->enabled) {
        maybe_draw(progress);
    }
}

void progress_file_done(Progress *progress) {
    const Guard guard(terminal_lock);
    ++progress->files_done;
    progress->bytes_before += progress->size >= 0 ? progress->size : progress->done;
    progress->name.clear();
    progress->done = 0;
    if (progress->enabled) {
        maybe_draw(progress);
    }
}

// `enabled` is set before the run's workers start and never changes during the run, so
// it is read here without the lock.
ProgressFileScope::ProgressFileScope(Progress *progress, const char *name)
    : progress_(progress != nullptr && progress->enabled ? progress : nullptr) {
    if (progress_ != nullptr) {
        progress_file(progress_, name, tool_file_size(name));
    }
}

ProgressFileScope::~ProgressFileScope() {
    if (progress_ != nullptr) {
        progress_file_done(progress_);
    }
}

void progress_erase() {
    const Guard guard(terminal_lock);
    if (active != nullptr) {
        erase(active);
    }
}

void progress_end(Progress *progress) {
    const Guard guard(terminal_lock);
    erase(progress);
    if (active == progress) {
        active = nullptr;
    }
}
