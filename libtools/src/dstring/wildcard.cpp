// SPDX-License-Identifier: MIT
// The wildcard matcher.
//
// The language is defined by a recursion over (pattern position, text position):
// at a star the rest of the pattern is tried against every later text position that
// is not the end, a set or a plain character consumes one text character, and a
// rest that is exactly one star matches whatever remains. Run literally, that
// recursion takes exponential time on patterns with many stars. This file runs the
// same recursion as a set of live pattern positions advanced one text character at
// a time, which visits each (pattern position, text position) pair at most once:
// O(pattern length x text length) time and O(pattern length) memory, with results
// identical to the recursion:
//
//   - A star at position i (not the last character) alive at text position j may
//     hand over to i + 1 at j, but only while j is before the end of the text, and
//     stays alive at j + 1 by letting the star take one more character.
//   - A star that is the last pattern character accepts at once.
//   - The end of the pattern accepts only at the end of the text.
//
// Pattern and text are UTF-8: the matcher runs over characters (code points), so "?"
// and a set consume one character whatever its length in bytes, and case folding is
// Unicode's simple case folding, the same on every system.
#include "dstring/case_fold.h"
#include "dstring/source_tag.h"
#include "libtools/tool_dstring.h"
#include "libtools/tool_memory.h"

#include <climits>
#include <cstring>
#include <utility>

namespace {

using case_fold::Unit;

bool is_star(Unit c) {
    return c == '*' || c == '%';
}
bool is_any(Unit c) {
    return c == '?' || c == '$';
}

// The text being matched, read one character at a time, folded when asked.
class TextCursor {
  public:
    TextCursor(const char *text, bool fold) : at_(text), fold_(fold) {}

    bool at_end() const { return *at_ == '\0'; }

    Unit take() {
        const Unit unit = case_fold::next_unit(at_);
        return fold_ ? case_fold::fold(unit) : unit;
    }

  private:
    const char *at_;
    bool fold_;
};

// Per-call working memory: the pattern's characters (folded when asked), two sets of
// live pattern positions (0 .. length) and, for every position, the index of the first
// "]" after it (or the length when none).
struct Scratch {
    Unit *pattern;
    unsigned char *live;
    unsigned char *next;
    std::size_t *close;
};

// Decodes the pattern into scratch.pattern; returns its length in characters.
std::size_t decode_pattern(const char *pattern, bool fold, Unit *out) {
    std::size_t length = 0;
    while (*pattern != '\0') {
        const Unit unit = case_fold::next_unit(pattern);
        out[length++] = fold ? case_fold::fold(unit) : unit;
    }
    return length;
}

// Whether `c` is one of the characters of the set pattern[from .. to).
bool in_set(const Unit *pattern, std::size_t from, std::size_t to, Unit c) {
    for (std::size_t i = from; i < to; ++i) {
        if (pattern[i] == c) {
            return true;
        }
    }
    return false;
}

class Matcher {
  public:
    Matcher(std::size_t m, TextCursor text, const Scratch &scratch)
        : p_(scratch.pattern), m_(m), text_(text), s_(scratch) {}

    bool run() {
        find_closers();
        std::memset(s_.live, 0, m_ + 1);
        s_.live[0] = 1;
        for (;;) {
            follow_stars(s_.live);
            if (m_ > 0 && is_star(p_[m_ - 1]) && s_.live[m_ - 1]) {
                return true; // the rest of the pattern is exactly one star
            }
            if (text_.at_end()) {
                return s_.live[m_] != 0;
            }
            if (!step(text_.take())) {
                return false;
            }
        }
    }

  private:
    void find_closers() {
        std::size_t closer = m_;
        for (std::size_t i = m_; i-- > 0;) {
            s_.close[i] = closer;
            if (p_[i] == ']') {
                closer = i;
            }
        }
    }

    // Lets every live star (other than a final one) hand over to the next position.
    void follow_stars(unsigned char *live) const {
        if (text_.at_end()) {
            return;
        }
        for (std::size_t i = 0; i + 1 < m_; ++i) {
            if (live[i] && is_star(p_[i])) {
                live[i + 1] = 1;
            }
        }
    }

    // Consumes one text character; returns whether any position is still live.
    bool step(Unit c) {
        std::memset(s_.next, 0, m_ + 1);
        bool any = false;
        for (std::size_t i = 0; i < m_; ++i) {
            if (!s_.live[i]) {
                continue;
            }
            const std::size_t target = advance(i, c);
            if (target <= m_) {
                s_.next[target] = 1;
                any = true;
            }
        }
        std::swap(s_.live, s_.next);
        return any;
    }

    // The pattern position reached from i by consuming c, or m + 1 when none.
    std::size_t advance(std::size_t i, Unit c) const {
        const Unit element = p_[i];
        if (is_star(element)) {
            return i;
        }
        if (is_any(element)) {
            return i + 1;
        }
        if (element == '[' && s_.close[i] < m_) {
            return in_set(p_, i + 1, s_.close[i], c) ? s_.close[i] + 1 : m_ + 1;
        }
        return element == c ? i + 1 : m_ + 1;
    }

    const Unit *p_;
    std::size_t m_;
    TextCursor text_;
    Scratch s_;
};

// Patterns up to this many bytes are matched without touching the heap.
constexpr std::size_t kStackPositions = 512;

// Working memory for a pattern of `bytes` bytes (at least as many as its characters);
// null when it cannot be had.
void *allocate_scratch(std::size_t bytes, Scratch *scratch) {
    const std::size_t size = bytes * (sizeof(Unit) + sizeof(std::size_t)) + 2 * (bytes + 1);
    void *block =
        size <= UINT_MAX ? tool_malloc(static_cast<unsigned>(size), DSTRING_HERE) : nullptr;
    if (block != nullptr) {
        scratch->close = static_cast<std::size_t *>(block); // the widest alignment first
        scratch->pattern = reinterpret_cast<Unit *>(scratch->close + bytes);
        scratch->live = reinterpret_cast<unsigned char *>(scratch->pattern + bytes);
        scratch->next = scratch->live + bytes + 1;
    }
    return block;
}

} // namespace

extern "C" {

int tool_strmatch(const char *pattern, const char *text, int fold_case) {
    if (text == nullptr) {
        return 0;
    }
    if (pattern == nullptr) {
        return 1;
    }
    const std::size_t bytes = std::strlen(pattern);
    Unit units[kStackPositions];
    unsigned char live[kStackPositions + 1];
    unsigned char next[kStackPositions + 1];
    std::size_t close[kStackPositions];
    Scratch scratch{units, live, next, close};
    void *block = nullptr;
    if (bytes > kStackPositions) {
        block = allocate_scratch(bytes, &scratch);
        if (block == nullptr) {
            return 0; // no working memory: the text is not shown to match
        }
    }
    const bool fold = fold_case != 0;
    const std::size_t m = decode_pattern(pattern, fold, scratch.pattern);
    const bool matched = Matcher(m, TextCursor(text, fold), scratch).run();
    tool_free(block, DSTRING_HERE);
    return matched ? 1 : 0;
}

} // extern "C"
