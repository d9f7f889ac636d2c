// SPDX-License-Identifier: MIT
// Heap strings held in caller-owned slots, with one fixed message per failed
// allocation. Copies are sized exactly; appends grow the block geometrically so that
// appending piece by piece costs a number of resizes logarithmic in the final length.
#include "dstring/source_tag.h"
#include "libtools/tool_dstring.h"
#include "libtools/tool_memory.h"

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void report_failure(const char *operation) {
    std::fprintf(stderr, "Error: %s: Memory allocation failed!\n", operation);
}

// Gives the slot a block of exactly `size` bytes, keeping the string's first bytes.
// On failure the old block is released and the slot is null.
void resize_slot(char **slot, std::size_t size) {
    char *resized = static_cast<char *>(
        *slot != nullptr ? tool_realloc(*slot, static_cast<unsigned>(size), DSTRING_HERE)
                         : tool_malloc(static_cast<unsigned>(size), DSTRING_HERE));
    if (resized == nullptr) {
        tool_free(*slot, DSTRING_HERE);
    }
    *slot = resized;
}

std::size_t clamp_count(const char *src, unsigned n) {
    const std::size_t length = std::strlen(src);
    return n < length ? n : length;
}

// The block size an append asks for when `needed` bytes do not fit in `capacity`:
// twice the capacity, at least `needed`, at most what the allocator's sizes can
// express. 0 when `needed` itself is beyond that.
std::size_t grown_capacity(std::size_t capacity, std::size_t needed) {
    constexpr std::size_t kLargest = UINT_MAX;
    if (needed > kLargest) {
        return 0;
    }
    const std::size_t doubled = capacity <= kLargest / 2 ? capacity * 2 : kLargest;
    return doubled > needed ? doubled : needed;
}

// Makes the slot's block hold at least `needed` bytes. A block whose size the allocator
// noted is used up to that size before it is resized, so successive appends fill the
// room the last growth left. false, with the old block released and the slot null,
// when it cannot grow.
bool reserve(char **slot, std::size_t length, std::size_t needed) {
    const std::size_t noted = *slot != nullptr ? tool_block_size(*slot) : 0;
    const std::size_t capacity = noted > length ? noted : length + 1;
    if (*slot != nullptr && needed <= capacity) {
        return true;
    }
    const std::size_t size = *slot != nullptr ? grown_capacity(capacity, needed) : needed;
    if (size == 0 || size > UINT_MAX) {
        tool_strfree(slot);
        return false;
    }
    resize_slot(slot, size);
    return *slot != nullptr;
}

// Appends `count` bytes of `src` to the slot's string, which is `old_length` long.
char *append_at(char **slot, std::size_t old_length, const char *src, std::size_t count,
                const char *operation) {
    if (!reserve(slot, old_length, old_length + count + 1)) {
        report_failure(operation);
        return nullptr;
    }
    std::memcpy(*slot + old_length, src, count);
    (*slot)[old_length + count] = '\0';
    return *slot;
}

char *append(char **slot, const char *src, std::size_t count, const char *operation) {
    if (slot == nullptr) {
        return nullptr;
    }
    if (src == nullptr) {
        return *slot;
    }
    return append_at(slot, *slot != nullptr ? std::strlen(*slot) : 0, src, count, operation);
}

char *replace(char **slot, const char *src, std::size_t count, const char *operation) {
    if (slot == nullptr) {
        return nullptr;
    }
    if (src == nullptr) {
        tool_strfree(slot);
        return nullptr;
    }
    resize_slot(slot, count + 1);
    if (*slot == nullptr) {
        report_failure(operation);
        return nullptr;
    }
    std::memcpy(*slot, src, count);
    (*slot)[count] = '\0';
    return *slot;
}

} // namespace

extern "C" {

char *tool_strdup(const char *src) {
    if (src == nullptr) {
        return nullptr;
    }
    const std::size_t size = std::strlen(src) + 1;
    char *copy = static_cast<char *>(tool_malloc(static_cast<unsigned>(size), DSTRING_HERE));
    if (copy == nullptr) {
        report_failure("tool_strdup");
        return nullptr;
    }
    std::memcpy(copy, src, size);
    return copy;
}

char *tool_strcat(char **slot, const char *src) {
    return append(slot, src, src != nullptr ? std::strlen(src) : 0, "tool_strcat");
}

char *tool_strncat(char **slot, const char *src, unsigned n) {
    return append(slot, src, src != nullptr ? clamp_count(src, n) : 0, "tool_strncat");
}

char *tool_strappend(char **slot, unsigned *length, const char *src, unsigned n) {
    if (slot == nullptr) {
        return nullptr;
    }
    const std::size_t room = *slot != nullptr ? tool_block_size(*slot) : 0;
    if (length == nullptr || (*slot == nullptr ? *length != 0 : room != 0 && *length >= room)) {
        errno = EINVAL;
        return nullptr;
    }
    if (src == nullptr) {
        return *slot;
    }
    const std::size_t count = clamp_count(src, n);
    if (append_at(slot, *length, src, count, "tool_strappend") == nullptr) {
        *length = 0;
        return nullptr;
    }
    *length += static_cast<unsigned>(count);
    return *slot;
}

char *tool_strcpy(char **slot, const char *src) {
    return replace(slot, src, src != nullptr ? std::strlen(src) : 0, "tool_strcpy");
}

char *tool_strncpy(char **slot, const char *src, unsigned n) {
    return replace(slot, src, src != nullptr ? clamp_count(src, n) : 0, "tool_strncpy");
}

char *tool_sprintf(char **slot, const char *format, ...) {
    if (slot == nullptr) {
        return nullptr;
    }
    if (format == nullptr) {
        return *slot;
    }
    std::va_list args;
    va_start(args, format);
    std::va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);

    // Format into a temporary first: the arguments may point into the slot's own string.
    char small[256];
    char *text = small;
    if (length >= static_cast<int>(sizeof small)) {
        text = static_cast<char *>(std::malloc(static_cast<std::size_t>(length) + 1));
    }
    if (text == nullptr) {
        va_end(args);
        tool_strfree(slot);
        report_failure("tool_strcpy");
        return nullptr;
    }
    if (length >= 0) {
        std::vsnprintf(text, static_cast<std::size_t>(length) + 1, format, args);
    } else {
        text[0] = '\0';
    }
    va_end(args);
    char *result = tool_strcpy(slot, text);
    if (text != small) {
        std::free(text);
    }
    return result;
}

int tool_strfree(char **slot) {
    if (slot == nullptr) {
        return 0;
    }
    tool_free(*slot, DSTRING_HERE);
    *slot = nullptr;
    return 1;
}

void *tool_memdup(const void *src, unsigned n) {
    if (src == nullptr || n == 0) {
        return nullptr;
    }
    void *copy = tool_malloc(n, DSTRING_HERE);
    if (copy == nullptr) {
        report_failure("tool_memdup");
        return nullptr;
    }
    std::memcpy(copy, src, n);
    return copy;
}

void *tool_memmove(void *dst, const void *src, int n) {
    if (dst == nullptr || src == nullptr) {
        return nullptr;
    }
    if (n > 0) {
        std::memmove(dst, src, static_cast<std::size_t>(n));
    }
    return dst;
}

int tool_memcmp(const void *a, const void *b, int n) {
    if (a == nullptr || b == nullptr) {
        return a == b ? 0 : (a == nullptr ? -1 : 1);
    }
    return n > 0 ? std::memcmp(a, b, static_cast<std::size_t>(n)) : 0;
}

} // extern "C"
