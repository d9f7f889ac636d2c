// SPDX-License-Identifier: MIT
#include "diff/hunk_writer.h"

#include <algorithm>

namespace {

constexpr char kNoNewline[] = "\n\\ No newline at end of file\n";

// Appends `line` as the diff shows it: `mark`, the line, and the note that follows a
// line without "\n". False when the buffer failed.
bool put_line(SpillBuffer *to, char mark, const char *line, std::size_t size) {
    const bool ends = size != 0 && line[size - 1] == '\n';
    return to->append(mark) && to->append(line, size) &&
           (ends || to->append(kNoNewline, sizeof kNoNewline - 1));
}

// "start,count" as diff -u writes a range: the count left out when it is 1, and the
// line before the range as start when it is empty.
std::string range_text(long long lines_before, long long count) {
    const long long start = count == 0 ? lines_before : lines_before + 1;
    return count == 1 ? std::to_string(start) : std::to_string(start) + "," + std::to_string(count);
}

} // namespace

HunkWriter::HunkWriter(std::FILE *out, const char *name, std::size_t memory_limit)
    : out_(out), name_(name != nullptr ? name : ""), body_(memory_limit), added_(memory_limit / 2),
      done_(memory_limit / 2), recent_{{SpillBuffer(memory_limit / 16),
                                        SpillBuffer(memory_limit / 16),
                                        SpillBuffer(memory_limit / 16)}} {}

bool HunkWriter::fail() {
    failed_ = true;
    return false;
}

// Keeps `line` as one of the last context lines, in place of the oldest when three are
// kept already.
bool HunkWriter::remember_context(const char *line, std::size_t size) {
    int slot = (recent_first_ + recent_count_) % kContext;
    if (recent_count_ == kContext) {
        slot = recent_first_;
        recent_first_ = (recent_first_ + 1) % kContext;
    } else {
        ++recent_count_;
    }
    recent_[slot].clear();
    return put_line(&recent_[slot], ' ', line, size);
}

bool HunkWriter::context(const char *line, std::size_t size) {
    if (failed_ || (adding_ && !end_added())) {
        return false;
    }
    bool ok = true;
    if (in_hunk_ && !close_change()) {
        ok = false;
    } else if (in_hunk_ && unchanged_run_ < kContext) { // trailing context kept in any case
        ok = put_line(&body_, ' ', line, size);
        ++hunk_old_count_;
        ++hunk_new_count_;
    } else { // before a hunk, or in it only if another change comes soon enough
        ok = remember_context(line, size);
    }
    ++old_lines_;
    ++new_lines_;
    if (ok && in_hunk_ && ++unchanged_run_ > 2LL * kContext) {
        ok = close_hunk(); // the last three stay remembered for the next hunk
    }
    return ok || fail();
}

// Opens a hunk unless one is open, and moves the remembered context lines into it:
// outside a hunk they lead the new one; inside, they join the two changes.
bool HunkWriter::change_starts() {
    unchanged_run_ = 0;
    if (in_hunk_ && recent_count_ == 0) {
        return true; // the common case inside a hunk: changes one after the other
    }
    if (!in_hunk_) {
        in_hunk_ = true;
        hunk_old_at_ = old_lines_ - recent_count_;
        hunk_new_at_ = new_lines_ - recent_count_;
        hunk_old_count_ = 0;
        hunk_new_count_ = 0;
    }
    bool ok = true;
    for (int i = 0; i < recent_count_; ++i) {
        ok = ok && recent_[(recent_first_ + i) % kContext].move_to(&body_);
    }
    hunk_old_count_ += recent_count_;
    hunk_new_count_ += recent_count_;
    recent_first_ = 0;
    recent_count_ = 0;
    return ok;
}

bool HunkWriter::removed(const char *line, std::size_t size) {
    if (failed_ || (adding_ && !end_added())) {
        return false;
    }
    // Before every added line of the change, which wait in added_.
    const bool ok = change_starts() && put_line(&body_, '-', line, size);
    ++old_lines_;
    ++hunk_old_count_;
    return ok || fail();
}

bool HunkWriter::added(const char *data, std::size_t size) {
    if (failed_) {
        return false;
    }
    if (!adding_) {
        if (!change_starts() || !added_.append('+')) {
            return fail();
        }
        adding_ = true;
        last_added_ = '\0';
        ++new_lines_;
        ++added_count_;
    }
    if (size != 0) {
        last_added_ = data[size - 1];
    }
    return added_.append(data, size) || fail();
}

bool HunkWriter::end_added() {
    if (failed_ || !adding_) {
        return !failed_;
    }
    adding_ = false;
    return last_added_ == '\n' || added_.append(kNoNewline, sizeof kNoNewline - 1) || fail();
}

// Moves the added lines of the change just read into the hunk, after all its removed
// lines, as diff -u shows a change.
bool HunkWriter::close_change() {
    hunk_new_count_ += added_count_;
    added_count_ = 0;
    return added_.move_to(&body_);
}

std::string HunkWriter::hunk_header() const {
    std::string header = any_hunk_ ? "" : "--- " + name_ + "\n+++ " + name_ + "\n";
    return header + "@@ -" + range_text(hunk_old_at_, hunk_old_count_) + " +" +
           range_text(hunk_new_at_, hunk_new_count_) + " @@\n";
}

// Moves the hunk built so far, headed, to the complete ones.
bool HunkWriter::close_hunk() {
    const bool ok = done_.append(hunk_header()) && body_.move_to(&done_);
    any_hunk_ = true;
    in_hunk_ = false;
    return ok;
}

bool HunkWriter::finish() {
    if (failed_ || (adding_ && !end_added()) || !close_change()) {
        return fail();
    }
    // The last hunk goes straight out, not through the complete ones.
    bool ok = done_.move_to(out_);
    if (ok && in_hunk_) {
        const std::string header = hunk_header();
        ok = std::fwrite(header.data(), 1, header.size(), out_) == header.size() &&
             body_.move_to(out_);
        any_hunk_ = true;
        in_hunk_ = false;
    }
    return (ok && std::fflush(out_) == 0) || fail();
}

bool HunkWriter::spilled() const {
    return body_.spilled() || added_.spilled() || done_.spilled() ||
           std::any_of(recent_.begin(), recent_.end(),
                       [](const SpillBuffer &b) { return b.spilled(); });
}
