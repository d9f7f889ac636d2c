// SPDX-License-Identifier: MIT
// Status queries: mode word, size, modification time and its text, all 64-bit.
#include "libtools/tool_sys_io.h"
#include "platform/file_system.h"
#include "sys_io/guarded_call.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// The room callers give tool_file_time_text: what ctime writes, "\n" and NUL included.
constexpr std::size_t kTimeTextSize = 26;

// The status of `path`, all zero when it has none.
ToolStat status_or_zero(const char *path) {
    ToolStat status{};
    if (!tool_stat(path, &status)) {
        status = ToolStat{};
    }
    return status;
}

} // namespace

extern "C" {

int tool_stat(const char *path, ToolStat *status) {
    platform::FsStatus found;
    if (path == nullptr || status == nullptr || !sys_io::guarded_call("tool_stat", false, [&] {
            return platform::fs_status(path, &found);
        })) {
        return 0;
    }
    status->mode = found.mode;
    status->size = found.size;
    status->mtime = found.mtime;
    return 1;
}

unsigned tool_file_mode(const char *path) {
    return status_or_zero(path).mode;
}

long long tool_file_size(const char *path) {
    return status_or_zero(path).size;
}

long long tool_file_mtime(const char *path) {
    return status_or_zero(path).mtime;
}

int tool_file_time_text(const char *path, char *text, long long *time, long long *size) {
    ToolStat status{};
    std::string ctime_text;
    if (text == nullptr || time == nullptr || !tool_stat(path, &status) ||
        !platform::fs_time_text(status.mtime, &ctime_text)) {
        return 0;
    }
    ctime_text.erase(std::remove(ctime_text.begin(), ctime_text.end(), '\n'), ctime_text.end());
    if (ctime_text.size() >= kTimeTextSize) {
        return 0; // a year past 99999 would not fit the caller's buffer
    }
    std::memcpy(text, ctime_text.c_str(), ctime_text.size() + 1);
    *time = status.mtime;
    if (size != nullptr) {
        *size = status.size;
    }
    return 1;
}

} // extern "C"
