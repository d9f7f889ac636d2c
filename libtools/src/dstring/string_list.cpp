// SPDX-License-Identifier: MIT
// StringList and KeyedStringList: counted arrays of owned heap strings that
// grow ten entries at a time.
#include "dstring/source_tag.h"
#include "libtools/tool_dstring.h"
#include "libtools/tool_memory.h"

#include <climits>
#include <cstring>

namespace {

constexpr int kGrowth = 10;

// Makes room for the entry at index `count` following the growth rule: a new array
// holds 10 entries; an existing one is resized to count + 11 entries when count is 0
// or count + 1 is a multiple of 10. Returns false when the array cannot be had; the
// old array is then still in place for the caller to release.
template <typename T>
bool grow(T **array, int count) {
    if (*array != nullptr && count != 0 && (count + 1) % kGrowth != 0) {
        return true;
    }
    const long long entries = *array == nullptr ? kGrowth : static_cast<long long>(count) + 11;
    if (entries * static_cast<long long>(sizeof(T)) > UINT_MAX) {
        return false;
    }
    const auto size = static_cast<unsigned>(entries * static_cast<long long>(sizeof(T)));
    T *resized = static_cast<T *>(*array == nullptr ? tool_malloc(size, DSTRING_HERE)
                                                    : tool_realloc(*array, size, DSTRING_HERE));
    if (resized == nullptr) {
        return false;
    }
    *array = resized;
    return true;
}

void free_strings(char **strings, int count) {
    for (int i = 0; i < count; ++i) {
        tool_strfree(&strings[i]);
    }
}

} // namespace

extern "C" {

int tool_strlist_append(StringList *list, const char *s) {
    if (list == nullptr || s == nullptr) {
        return 0;
    }
    if (!grow(&list->items, list->count)) {
        tool_strlist_free(list);
        return 0;
    }
    list->items[list->count] = tool_strdup(s);
    ++list->count;
    return 1;
}

int tool_strlist_contains(const StringList *list, const char *s) {
    if (list == nullptr || s == nullptr || list->items == nullptr) {
        return 0;
    }
    for (int i = 0; i < list->count; ++i) {
        if (list->items[i] != nullptr && std::strcmp(list->items[i], s) == 0) {
            return 1;
        }
    }
    return 0;
}

int tool_strlist_free(StringList *list) {
    if (list == nullptr) {
        return 0;
    }
    if (list->items != nullptr) {
        free_strings(list->items, list->count);
        tool_free(list->items, DSTRING_HERE);
    }
    list->items = nullptr;
    list->count = 0;
    return 1;
}

int tool_strlist_append_list(StringList *dst, const StringList *src) {
    if (dst == nullptr || src == nullptr || src->items == nullptr) {
        return 0;
    }
    // The count is taken once, so a list appended to itself ends after one copy of
    // its entries; a failed growth empties `dst`, which then may be `src` as well.
    const int count = src->count;
    for (int i = 0; i < count && i < src->count; ++i) {
        tool_strlist_append(dst, src->items[i]);
    }
    return 0;
}

int tool_keyed_strlist_append(KeyedStringList *list, int key, const char *s) {
    if (list == nullptr || s == nullptr) {
        return 0;
    }
    if (!grow(&list->keys, list->count) || !grow(&list->strings, list->count)) {
        tool_keyed_strlist_free(list);
        return 0;
    }
    list->keys[list->count] = key;
    list->strings[list->count] = tool_strdup(s);
    ++list->count;
    return 1;
}

int tool_keyed_strlist_contains(const KeyedStringList *list, int key, const char *s, int mode) {
    if (list == nullptr || s == nullptr || list->keys == nullptr || list->strings == nullptr) {
        return 0;
    }
    for (int i = 0; i < list->count; ++i) {
        const bool key_equal = list->keys[i] == key;
        const bool string_equal =
            list->strings[i] != nullptr && std::strcmp(list->strings[i], s) == 0;
        const bool match = mode == 1   ? key_equal
                           : mode == 2 ? string_equal
                                       : key_equal && string_equal;
        if (match) {
            return 1;
        }
    }
    return 0;
}

int tool_keyed_strlist_free(KeyedStringList *list) {
    if (list == nullptr) {
        return 0;
    }
    if (list->strings != nullptr) {
        free_strings(list->strings, list->count);
    }
    tool_free(list->keys, DSTRING_HERE);
    tool_free(list->strings, DSTRING_HERE);
    list->keys = nullptr;
    list->strings = nullptr;
    list->count = 0;
    return 1;
}

int tool_keyed_strlist_append_list(KeyedStringList *dst, const KeyedStringList *src) {
    if (dst == nullptr || src == nullptr || src->strings == nullptr || src->keys == nullptr) {
        return 0;
    }
    // The count is taken once: see tool_strlist_append_list.
    const int count = src->count;
    for (int i = 0; i < count && i < src->count; ++i) {
        if (src->strings[i] != nullptr) {
            tool_keyed_strlist_append(dst, src->keys[i], src->strings[i]);
        }
    }
    return 0;
}

} // extern "C"
