// SPDX-License-Identifier: MIT
#include "support/unified_diff.h"

#include "support/diff_boundaries.h"

#include <dtl/dtl.hpp>

#include <algorithm>
#include <string>
#include <unordered_map>

namespace {

using Lines = std::vector<std::string_view>;

// Lines of context around each change; changes closer than twice this share a hunk.
constexpr std::size_t kContext = 3;
// The largest (lines of both sides) x (lines of the shorter side) given to dtl at once:
// its O(NP) search costs about that much in the worst case.
constexpr double kSearchBudget = 2e8;

// A half-open range of lines on each side.
struct Region {
    std::size_t old_begin, old_end, new_begin, new_end;
};

void append(std::vector<Edit> *script, Edit edit, std::size_t count) {
    script->insert(script->end(), count, edit);
}

void replace_whole(const Region &r, std::vector<Edit> *script) {
    append(script, Edit::remove, r.old_end - r.old_begin);
    append(script, Edit::add, r.new_end - r.new_begin);
}

// dtl's shortest edit script of the region, with the removals of each change first.
void shortest_script(const Lines &a, const Lines &b, const Region &r, std::vector<Edit> *script) {
    const Lines old_part(a.begin() + static_cast<long>(r.old_begin),
                         a.begin() + static_cast<long>(r.old_end));
    const Lines new_part(b.begin() + static_cast<long>(r.new_begin),
                         b.begin() + static_cast<long>(r.new_end));
    dtl::Diff<std::string_view> diff(old_part, new_part);
    diff.compose();
    std::size_t adds = 0;
    for (const auto &step : diff.getSes().getSequence()) {
        if (step.second.type == dtl::SES_ADD) {
            ++adds; // held back until the removals of this change are out
            continue;
        }
        if (step.second.type == dtl::SES_COMMON) {
            append(script, Edit::add, adds);
            adds = 0;
        }
        script->push_back(step.second.type == dtl::SES_COMMON ? Edit::keep : Edit::remove);
    }
    append(script, Edit::add, adds);
}

// Where a line stands on each side: its position, or kNone / kSeveral.
struct Places {
    std::size_t old_at;
    std::size_t new_at;
};
constexpr std::size_t kNone = static_cast<std::size_t>(-1);
constexpr std::size_t kSeveral = static_cast<std::size_t>(-2);

void note(std::size_t *place, std::size_t at) {
    *place = *place == kNone ? at : kSeveral;
}

// Pairs (old position, new position) of lines that occur exactly once on each side of
// the region, in the longest order both sides agree on (patience sorting).
std::vector<std::pair<std::size_t, std::size_t>> unique_anchors(const Lines &a, const Lines &b,
                                                                const Region &r) {
    std::unordered_map<std::string_view, Places> places;
    places.reserve(r.old_end - r.old_begin + r.new_end - r.new_begin);
    for (std::size_t i = r.old_begin; i < r.old_end; ++i) {
        note(&places.try_emplace(a[i], Places{kNone, kNone}).first->second.old_at, i);
    }
    for (std::size_t j = r.new_begin; j < r.new_end; ++j) {
        note(&places.try_emplace(b[j], Places{kNone, kNone}).first->second.new_at, j);
    }
    std::vector<std::pair<std::size_t, std::size_t>> pairs; // (new position, old position)
    for (const auto &entry : places) {
        const Places &p = entry.second;
        if (p.old_at < kSeveral && p.new_at < kSeveral) {
            pairs.emplace_back(p.new_at, p.old_at);
        }
    }
    std::sort(pairs.begin(), pairs.end());
    // Longest increasing run of old positions, taken in new order.
    std::vector<std::size_t> tails;
    std::vector<long> previous(pairs.size(), -1);
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        auto at = std::lower_bound(
            tails.begin(), tails.end(), pairs[k].second,
            [&](std::size_t t, std::size_t old_pos) { return pairs[t].second < old_pos; });
        previous[k] = at == tails.begin() ? -1 : static_cast<long>(*(at - 1));
        if (at == tails.end()) {
            tails.push_back(k);
        } else {
            *at = k;
        }
    }
    std::vector<std::pair<std::size_t, std::size_t>> anchors;
    for (long k = tails.empty() ? -1 : static_cast<long>(tails.back()); k >= 0;
         k = previous[static_cast<std::size_t>(k)]) {
        anchors.emplace_back(pairs[static_cast<std::size_t>(k)].second,
                             pairs[static_cast<std::size_t>(k)].first);
    }
    std::reverse(anchors.begin(), anchors.end());
    return anchors;
}

void diff_region(const Lines &a, const Lines &b, Region r, std::vector<Edit> *script);

// Splits a region too large for one search at its unique anchors.
void diff_by_anchors(const Lines &a, const Lines &b, const Region &r, std::vector<Edit> *script) {
    const auto anchors = unique_anchors(a, b, r);
    if (anchors.empty()) {
        replace_whole(r, script);
        return;
    }
    std::size_t old_at = r.old_begin;
    std::size_t new_at = r.new_begin;
    for (const auto &anchor : anchors) {
        diff_region(a, b, {old_at, anchor.first, new_at, anchor.second}, script);
        script->push_back(Edit::keep);
        old_at = anchor.first + 1;
        new_at = anchor.second + 1;
    }
    diff_region(a, b, {old_at, r.old_end, new_at, r.new_end}, script);
}

void diff_region(const Lines &a, const Lines &b, Region r, std::vector<Edit> *script) {
    std::size_t head = 0;
    while (r.old_begin + head < r.old_end && r.new_begin + head < r.new_end &&
           a[r.old_begin + head] == b[r.new_begin + head]) {
        ++head;
    }
    append(script, Edit::keep, head);
    r.old_begin += head;
    r.new_begin += head;
    std::size_t tail = 0;
    while (r.old_end - tail > r.old_begin && r.new_end - tail > r.new_begin &&
           a[r.old_end - tail - 1] == b[r.new_end - tail - 1]) {
        ++tail;
    }
    r.old_end -= tail;
    r.new_end -= tail;
    const double old_count = static_cast<double>(r.old_end - r.old_begin);
    const double new_count = static_cast<double>(r.new_end - r.new_begin);
    if (old_count == 0 || new_count == 0) {
        replace_whole(r, script);
    } else if ((old_count + new_count) * std::min(old_count, new_count) <= kSearchBudget) {
        shortest_script(a, b, r, script);
    } else {
        diff_by_anchors(a, b, r, script);
    }
    append(script, Edit::keep, tail);
}

// One hunk: the steps [begin, end) of the script.
struct Hunk {
    std::size_t begin, end;
};

bool is_change(Edit edit) {
    return edit != Edit::keep;
}

// The hunk that holds the first change at or after `from`; begin == end when none is left.
Hunk next_hunk(const std::vector<Edit> &script, std::size_t from) {
    std::size_t change = from;
    while (change < script.size() && !is_change(script[change])) {
        ++change;
    }
    if (change == script.size()) {
        return {change, change};
    }
    Hunk hunk{change - std::min(kContext, change - from), change};
    for (;;) {
        while (hunk.end < script.size() && is_change(script[hunk.end])) {
            ++hunk.end;
        }
        std::size_t kept = 0;
        while (hunk.end + kept < script.size() && !is_change(script[hunk.end + kept])) {
            ++kept;
        }
        if (hunk.end + kept == script.size() || kept > 2 * kContext) {
            hunk.end += std::min(kept, kContext);
            return hunk;
        }
        hunk.end += kept;
    }
}

// "start,count" as diff -u writes a range: the count left out when it is 1, and the
// line before the range as start when it is empty.
std::string range_text(std::size_t lines_before, std::size_t count) {
    const std::size_t start = count == 0 ? lines_before : lines_before + 1;
    return count == 1 ? std::to_string(start) : std::to_string(start) + "," + std::to_string(count);
}

bool write_line(std::FILE *out, char mark, std::string_view line) {
    bool ok = std::fputc(mark, out) != EOF &&
              std::fwrite(line.data(), 1, line.size(), out) == line.size();
    if (ok && (line.empty() || line.back() != '\n')) {
        ok = std::fputs("\n\\ No newline at end of file\n", out) != EOF;
    }
    return ok;
}

// Writes one hunk; `old_at` and `new_at` are the lines of each text before it.
bool write_hunk(std::FILE *out, const Lines &a, const Lines &b, const std::vector<Edit> &script,
                const Hunk &hunk, std::size_t old_at, std::size_t new_at) {
    std::size_t old_count = 0;
    std::size_t new_count = 0;
    for (std::size_t i = hunk.begin; i < hunk.end; ++i) {
        old_count += script[i] != Edit::add ? 1 : 0;
        new_count += script[i] != Edit::remove ? 1 : 0;
    }
    bool ok = std::fprintf(out, "@@ -%s +%s @@\n", range_text(old_at, old_count).c_str(),
                           range_text(new_at, new_count).c_str()) > 0;
    for (std::size_t i = hunk.begin; ok && i < hunk.end; ++i) {
        if (script[i] == Edit::add) {
            ok = write_line(out, '+', b[new_at++]);
        } else {
            ok = write_line(out, script[i] == Edit::keep ? ' ' : '-', a[old_at++]);
            new_at += script[i] == Edit::keep ? 1 : 0;
        }
    }
    return ok;
}

} // namespace

std::vector<std::string_view> split_lines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, next - start));
        start = next;
    }
    return lines;
}

std::vector<Edit> diff_lines(const std::vector<std::string_view> &old_lines,
                             const std::vector<std::string_view> &new_lines) {
    std::vector<Edit> script;
    diff_region(old_lines, new_lines, {0, old_lines.size(), 0, new_lines.size()}, &script);
    shift_boundaries(old_lines, new_lines, &script);
    return script;
}

bool write_unified_diff(std::FILE *out, const char *name, std::string_view old_text,
                        std::string_view new_text) {
    if (old_text == new_text) {
        return true;
    }
    const Lines a = split_lines(old_text);
    const Lines b = split_lines(new_text);
    const std::vector<Edit> script = diff_lines(a, b);
    bool ok = std::fprintf(out, "--- %s\n+++ %s\n", name, name) > 0;
    std::size_t old_at = 0;
    std::size_t new_at = 0;
    std::size_t step = 0;
    for (Hunk hunk = next_hunk(script, 0); ok && hunk.begin != hunk.end;
         hunk = next_hunk(script, step)) {
        for (; step < hunk.begin; ++step) { // the unchanged lines between hunks
            ++old_at;
            ++new_at;
        }
        ok = write_hunk(out, a, b, script, hunk, old_at, new_at);
        for (; step < hunk.end; ++step) {
            old_at += script[step] != Edit::add ? 1 : 0;
            new_at += script[step] != Edit::remove ? 1 : 0;
        }
    }
    return ok;
}
