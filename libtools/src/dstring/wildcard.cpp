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
#include "dstring/ascii.h"
#include "dstring/source_tag.h"
#include "libtools/tool_dstring.h"
#include "libtools/tool_memory.h"

#include <climits>
#include <cstring>
#include <utility>

namespace {

bool is_star(char c) {
    return c == '*' || c == '%';
}
bool is_any(char c) {
    return c == '?' || c == '$';
}

bool same_char(char a, char b, bool fold) {
    return fold ? ascii::to_upper(a) == ascii::to_upper(b) : a == b;
}

// Whether `c` is one of the characters of the set pattern[from .. to).
bool in_set(const char *pattern, std::size_t from, std::size_t to, char c, bool fold) {
    for (std::size_t i = from; i < to; ++i) {
        if (same_char(pattern[i], c, fold)) {
            return true;
        }
    }
    return false;
}

// Per-call working memory: two sets of live pattern positions (0 .. length) and, for
// every position, the index of the first "]" after it (or the length when none).
struct Scratch {
    unsigned char *live;
    unsigned char *next;
    std::size_t *close;
};

class Matcher {
  public:
    Matcher(const char *pattern, std::size_t m, const char *text, std::size_t n, bool fold,
            const Scratch &scratch)
        : p_(pattern), m_(m), t_(text), n_(n), fold_(fold), s_(scratch) {}

    bool run() {
        find_closers();
        std::memset(s_.live, 0, m_ + 1);
        s_.live[0] = 1;
        for (std::size_t j = 0;; ++j) {
            follow_stars(s_.live, j);
            if (m_ > 0 && is_star(p_[m_ - 1]) && s_.live[m_ - 1]) {
                return true; // the rest of the pattern is exactly one star
            }
            if (j == n_) {
                return s_.live[m_] != 0;
            }
            if (!step(j)) {
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
    void follow_stars(unsigned char *live, std::size_t j) const {
        if (j >= n_) {
            return;
        }
        for (std::size_t i = 0; i + 1 < m_; ++i) {
            if (live[i] && is_star(p_[i])) {
                live[i + 1] = 1;
            }
        }
    }

    // Consumes text character j; returns whether any position is still live.
    bool step(std::size_t j) {
        std::memset(s_.next, 0, m_ + 1);
        bool any = false;
        const char c = t_[j];
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
    std::size_t advance(std::size_t i, char c) const {
        const char element = p_[i];
        if (is_star(element)) {
            return i;
        }
        if (is_any(element)) {
            return i + 1;
        }
        if (element == '[' && s_.close[i] < m_) {
            return in_set(p_, i + 1, s_.close[i], c, fold_) ? s_.close[i] + 1 : m_ + 1;
        }
        return same_char(element, c, fold_) ? i + 1 : m_ + 1;
    }

    const char *p_;
    std::size_t m_;
    const char *t_;
    std::size_t n_;
    bool fold_;
    Scratch s_;
};

// Patterns up to this length are matched without touching the heap.
constexpr std::size_t kStackPositions = 512;

} // namespace

extern "C" {

int tool_strmatch(const char *pattern, const char *text, int fold_case) {
    if (text == nullptr) {
        return 0;
    }
    if (pattern == nullptr) {
        return 1;
    }
    const std::size_t m = std::strlen(pattern);
    const std::size_t n = std::strlen(text);
    unsigned char live[kStackPositions + 1];
    unsigned char next[kStackPositions + 1];
    std::size_t close[kStackPositions];
    Scratch scratch{live, next, close};
    void *block = nullptr;
    if (m > kStackPositions) {
        const std::size_t bytes = m * sizeof(std::size_t) + 2 * (m + 1);
        block =
            bytes <= UINT_MAX ? tool_malloc(static_cast<unsigned>(bytes), DSTRING_HERE) : nullptr;
        if (block == nullptr) {
            return 0; // no working memory: the text is not shown to match
        }
        scratch.close = static_cast<std::size_t *>(block);
        scratch.live = reinterpret_cast<unsigned char *>(scratch.close + m);
        scratch.next = scratch.live + m + 1;
    }
    const bool matched = Matcher(pattern, m, text, n, fold_case != 0, scratch).run();
    tool_free(block, DSTRING_HERE);
    return matched ? 1 : 0;
}

} // extern "C"
