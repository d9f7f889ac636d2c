// SPDX-License-Identifier: MIT
// Tab expansion and the expansion of a text token by token through a callback,
// with the environment-variable lookup as the usual callback.
#include "dstring/source_tag.h"
#include "libtools/tool_dstring.h"
#include "libtools/tool_memory.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t kTabWidth = 8;

// Writes `s` with its tabs expanded into `out`, which holds at least 8 * strlen(s) + 1
// bytes: a tab writes 1 to 8 spaces. Returns the length written.
std::size_t expand_tabs(const char *s, char *out) {
    std::size_t index = 0;
    for (const char *p = s; *p != '\0'; ++p) {
        if (*p != '\t') {
            out[index++] = *p;
            continue;
        }
        do {
            out[index++] = ' ';
        } while (index % kTabWidth != 0);
    }
    out[index] = '\0';
    return index;
}

} // namespace

extern "C" {

int tool_strexpandtabs(const char *s, char **slot) {
    if (s == nullptr || slot == nullptr) {
        return 0;
    }
    const std::size_t length = std::strlen(s);
    // A new block rather than a resize: `s` may be the slot's own string.
    char *expanded = nullptr;
    if (length <= (UINT_MAX - kTabWidth) / kTabWidth) {
        const auto size = static_cast<unsigned>(kTabWidth * length + kTabWidth);
        expanded = static_cast<char *>(tool_malloc(size, DSTRING_HERE));
    }
    if (expanded == nullptr) {
        tool_strfree(slot);
        return 0;
    }
    const std::size_t written = expand_tabs(s, expanded);
    tool_strfree(slot);
    char *exact = static_cast<char *>(
        tool_realloc(expanded, static_cast<unsigned>(written + 1), DSTRING_HERE));
    *slot = exact != nullptr ? exact : expanded;
    return 1;
}

char *tool_strexpand(const char *s, const char *delims, ToolExpandCallback callback,
                     int user_data) {
    char *copy = tool_strdup(s);
    if (copy == nullptr || callback == nullptr) {
        tool_strfree(&copy);
        return nullptr;
    }
    char *result = nullptr;
    bool failed = false;
    char *cursor = copy;
    for (char *token = tool_strtok(cursor, delims, &cursor, nullptr); token != nullptr;
         token = tool_strtok(cursor, delims, &cursor, nullptr)) {
        char *piece = callback(token, user_data);
        // A failed append empties the result; the rest must not pass for the whole.
        if (piece != nullptr && !failed && tool_strcat(&result, piece) == nullptr) {
            failed = true;
        }
        tool_strfree(&piece);
    }
    tool_strfree(&copy);
    return result;
}

char *tool_getenv_or_name(const char *name, int /*user_data*/) {
    if (name == nullptr) {
        return nullptr;
    }
    const char *value = std::getenv(name);
    return tool_strdup(value != nullptr ? value : name);
}

char *tool_strexpand_env(const char *s) {
    return s != nullptr ? tool_strexpand(s, "%", tool_getenv_or_name, 0) : nullptr;
}

} // extern "C"
