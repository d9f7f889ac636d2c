// SPDX-License-Identifier: MIT
// The unified diff of two texts written while they are read, from the lines the
// two have in common and the lines only one of them holds, in the order of the
// texts: as `diff -u` writes it, with three lines of context around each change,
// hunks that share a run of six or fewer unchanged lines merged, and the lines
// removed by a change before the lines it adds.
//
//     HunkWriter writer(out, name);
//     writer.context(line)             a line both texts hold
//     writer.removed(line)             a line only the old text holds
//     writer.added(bytes)...           a line only the new text holds, in pieces,
//     writer.end_added()               ended before the next event
//     writer.finish()                  after the last line: writes the diff
//
// Lines are passed with their line ends exactly as the texts hold them ("\r\n" stays
// with its line), so that the diff applies byte for byte; a line without "\n" (the
// last of its text) is followed by "\ No newline at end of file".
//
// Nothing reaches `out` before finish(): the diff of an input that turns out to be
// damaged halfway is never half printed. Hunks that are complete wait in a spill
// buffer, the hunk being built in another (its header needs its line counts), and
// the added lines of a change in a third until the change has shown all its removed
// lines; each holds a bounded part in memory and the rest in a scratch file, so that
// memory stays bounded however large a hunk grows (in a joint file every joint
// changes, and one hunk spans the file).
#ifndef JOINT2SI_DIFF_HUNK_WRITER_H
#define JOINT2SI_DIFF_HUNK_WRITER_H

#include "diff/spill_buffer.h"

#include <array>
#include <cstddef>
#include <cstdio>
#include <string>

class HunkWriter {
  public:
    /// The bound of the hunk being built; the other stores get a part of it.
    static constexpr std::size_t kMemoryLimit = std::size_t{1} << 20;

    /// A writer of the diff to `out`, headed "--- name" and "+++ name". Its stores hold
    /// at most 2.2 * `memory_limit` bytes of text in memory together: the hunk being
    /// built `memory_limit`, the complete hunks and the added lines of a change half of
    /// it each, each remembered context line a sixteenth.
    HunkWriter(std::FILE *out, const char *name, std::size_t memory_limit = kMemoryLimit);

    /// The next line of both texts. False (here and below) once a scratch file failed.
    bool context(const char *line, std::size_t size);
    /// The next line of the old text, not in the new one.
    bool removed(const char *line, std::size_t size);
    /// The next bytes of a line of the new text that is not in the old one.
    bool added(const char *data, std::size_t size);
    /// Ends the line added() was given; a line must be ended before the next event.
    bool end_added();

    /// Writes the diff (nothing when no line changed) and flushes `out`; false when a
    /// write failed.
    bool finish();

    /// Whether any of the stores used a scratch file.
    bool spilled() const;

  private:
    static constexpr int kContext = 3;

    bool change_starts();
    bool close_change();
    bool close_hunk();
    std::string hunk_header() const;
    bool remember_context(const char *line, std::size_t size);
    bool fail();

    std::FILE *out_;
    std::string name_;
    bool failed_ = false;
    bool any_hunk_ = false; // the "---" and "+++" lines were written
    bool in_hunk_ = false;
    bool adding_ = false; // an added line is open
    char last_added_ = '\0';
    long long old_lines_ = 0; // lines of each text passed so far
    long long new_lines_ = 0;
    // The hunk being built: its place (lines of each text before it) and its lines so far.
    long long hunk_old_at_ = 0;
    long long hunk_new_at_ = 0;
    long long hunk_old_count_ = 0;
    long long hunk_new_count_ = 0;
    long long unchanged_run_ = 0; // context lines since the last change of the hunk
    // The hunk so far; the removed lines of the change being read go straight to it,
    // its added lines wait until the change ends.
    SpillBuffer body_;
    SpillBuffer added_;
    long long added_count_ = 0;
    SpillBuffer done_; // the complete hunks, waiting for finish()
    // The last context lines that may lead the next change: outside a hunk the last
    // three, inside one those after its first three trailing context lines.
    std::array<SpillBuffer, kContext> recent_;
    int recent_first_ = 0;
    int recent_count_ = 0;
};

#endif
