// SPDX-License-Identifier: MIT
#include "support/diff_boundaries.h"

namespace {

using Lines = std::vector<std::string_view>;

// Which lines of one text are changed, with an unchanged sentinel before the first and
// after the last line: line i is at index i + 1.
struct Changed {
    std::vector<char> flags;
    explicit Changed(std::size_t lines) : flags(lines + 2, 0) {}
    char &operator[](long i) { return flags[static_cast<std::size_t>(i + 1)]; }
};

// Slides every run of changed lines of `lines` as GNU diff's shift_boundaries does:
// back while the line before equals the run's last line, then forward while the run's
// first line equals the line after, and finally back to the last place where it lines
// up with a run of changes in the other text.
void shift_one_side(const Lines &lines, Changed &changed, Changed &other) {
    const long end = static_cast<long>(lines.size());
    long i = 0;
    long j = 0;
    for (;;) {
        while (i < end && !changed[i]) {
            while (other[j++]) {
            }
            ++i;
        }
        if (i == end) {
            return;
        }
        long start = i;
        while (changed[++i]) {
        }
        while (other[j]) {
            ++j;
        }
        long run = 0;
        long corresponding = end;
        do {
            run = i - start;
            while (start != 0 && lines[static_cast<std::size_t>(start - 1)] ==
                                     lines[static_cast<std::size_t>(i - 1)]) {
                changed[--start] = 1;
                changed[--i] = 0;
                while (changed[start - 1]) {
                    --start;
                }
                while (other[--j]) {
                }
            }
            corresponding = other[j - 1] ? i : end;
            while (i != end &&
                   lines[static_cast<std::size_t>(start)] == lines[static_cast<std::size_t>(i)]) {
                changed[start++] = 0;
                changed[i++] = 1;
                while (changed[i]) {
                    ++i;
                }
                while (other[++j]) {
                    corresponding = i;
                }
            }
        } while (run != i - start);
        while (corresponding < i) {
            changed[--start] = 1;
            changed[--i] = 0;
            while (other[--j]) {
            }
        }
    }
}

// The script the change flags describe: in each change, removals before additions.
std::vector<Edit> script_of(Changed &old_changed, long old_end, Changed &new_changed,
                            long new_end) {
    std::vector<Edit> script;
    long i = 0;
    long j = 0;
    while (i < old_end || j < new_end) {
        if (i < old_end && j < new_end && !old_changed[i] && !new_changed[j]) {
            script.push_back(Edit::keep);
            ++i;
            ++j;
            continue;
        }
        for (; i < old_end && old_changed[i]; ++i) {
            script.push_back(Edit::remove);
        }
        for (; j < new_end && new_changed[j]; ++j) {
            script.push_back(Edit::add);
        }
    }
    return script;
}

} // namespace

void shift_boundaries(const Lines &old_lines, const Lines &new_lines, std::vector<Edit> *script) {
    Changed old_changed(old_lines.size());
    Changed new_changed(new_lines.size());
    long i = 0;
    long j = 0;
    for (Edit edit : *script) {
        if (edit == Edit::remove) {
            old_changed[i++] = 1;
        } else if (edit == Edit::add) {
            new_changed[j++] = 1;
        } else {
            ++i;
            ++j;
        }
    }
    shift_one_side(old_lines, old_changed, new_changed);
    shift_one_side(new_lines, new_changed, old_changed);
    *script = script_of(old_changed, static_cast<long>(old_lines.size()), new_changed,
                        static_cast<long>(new_lines.size()));
}
