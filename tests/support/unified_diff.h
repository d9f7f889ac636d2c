// SPDX-License-Identifier: MIT
// A whole-text unified diff, as `diff -u` writes it: the model the preview's streaming
// diff is checked against (the converter itself builds its diff while converting).
#ifndef JOINT2SI_UNIFIED_DIFF_H
#define JOINT2SI_UNIFIED_DIFF_H

#include <cstdio>
#include <string_view>
#include <vector>

/// One step of an edit script: a line both texts hold, a line only the old text holds,
/// a line only the new text holds.
enum class Edit : char { keep, remove, add };

/// The lines of `text`, each with its line end ("\r\n" stays with its line as two
/// bytes); the last line has none when the text does not end in "\n". Views into `text`.
std::vector<std::string_view> split_lines(std::string_view text);

/// An edit script that turns `old_lines` into `new_lines`: the shortest one (as dtl's
/// O(NP) algorithm finds it) after the common head and tail are set aside; a region too
/// large for that is first split at lines that occur once in each text (patience
/// anchors), and a region still too large is shown as removed and added as a whole.
std::vector<Edit> diff_lines(const std::vector<std::string_view> &old_lines,
                             const std::vector<std::string_view> &new_lines);

/// Writes to `out` the unified diff of `old_text` against `new_text` as `diff -u` writes
/// it (three lines of context, "\ No newline at end of file" after a last line without
/// one), headed "--- name" and "+++ name". Writes nothing when the texts are equal.
/// False when a write failed.
bool write_unified_diff(std::FILE *out, const char *name, std::string_view old_text,
                        std::string_view new_text);

#endif
