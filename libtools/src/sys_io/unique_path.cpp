// SPDX-License-Identifier: MIT
// Names for new files that do not exist yet: base + suffix, or base + number +
// suffix for the first free number.
#include "libtools/tool_memory.h"
#include "libtools/tool_sys_io.h"
#include "platform/file_system.h"
#include "sys_io/source_tag.h"

#include <string>

namespace {

constexpr int kLastNumber = 9999;

// Whether the name may be taken: nothing is there and it can be used with `mode`, which
// creates the file unless the mode starts with "w".
bool accept(const char *candidate, const char *mode) {
    return !tool_file_exists(candidate) && tool_can_access(candidate, mode);
}

bool leaves_file(const char *mode) {
    return mode == nullptr || mode[0] != 'w';
}

// base + number + suffix (each of the last two only when not null) in the slot; null
// for a null base or when memory runs out.
char *build_candidate(char **slot, const char *base, const char *number, const char *suffix) {
    if (tool_strcpy(slot, base) == nullptr) {
        return nullptr;
    }
    if (number != nullptr && tool_strcat(slot, number) == nullptr) {
        return nullptr;
    }
    if (suffix != nullptr) {
        tool_strcat(slot, suffix);
    }
    return *slot;
}

// Replaces the accepted name by its absolute form. When that cannot be had, the name is
// given up: the file that reserves it is removed and the result is null.
char *take_absolute(char *candidate, const char *mode) {
    std::string full;
    char *result = platform::fs_full_path(candidate, &full) ? tool_strdup(full.c_str()) : nullptr;
    if (result == nullptr && leaves_file(mode)) {
        platform::fs_remove_file(candidate);
    }
    tool_free(candidate, SYS_IO_HERE);
    return result;
}

char *first_free_number(const char *base, const char *suffix, const char *mode, int options,
                        int absolute) {
    char *candidate = nullptr;
    for (int n = 1; n <= kLastNumber; ++n) {
        const char *number =
            (options & TOOL_UNIQUE_THREE_DIGITS) != 0 ? tool_itoa_fmt("%3.3d", n) : tool_itoa(n);
        if (build_candidate(&candidate, base, number, suffix) == nullptr) {
            return nullptr;
        }
        if (accept(candidate, mode)) {
            return absolute ? take_absolute(candidate, mode) : candidate;
        }
    }
    tool_free(candidate, SYS_IO_HERE);
    return nullptr;
}

} // namespace

extern "C" {

char *tool_make_unique_path(const char *base, const char *suffix, const char *mode, int options,
                            int absolute) {
    if ((options & TOOL_UNIQUE_NUMBERED) != 0) {
        return first_free_number(base, suffix, mode, options, absolute);
    }
    if (options != 0) {
        return nullptr;
    }
    char *candidate = nullptr;
    if (build_candidate(&candidate, base, nullptr, suffix) == nullptr) {
        return nullptr;
    }
    if (!accept(candidate, mode)) {
        tool_free(candidate, SYS_IO_HERE);
        return nullptr;
    }
    return candidate;
}

} // extern "C"
