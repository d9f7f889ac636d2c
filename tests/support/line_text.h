// SPDX-License-Identifier: MIT
// One line converted as the one-pass conversion converts it, as text: for tests that
// compare single lines with the per-line functions.
#ifndef JOINT2SI_TESTS_SUPPORT_LINE_TEXT_H
#define JOINT2SI_TESTS_SUPPORT_LINE_TEXT_H

#include "convert/line_conversion.h"

#include <string>

/// Appends what the conversion writes for `line` (without a line end) to `out`.
/// Returns the kind of a rewritten line, else 0; `*dropped` (if given) tells whether a
/// digit followed the value, `*note` (if given) what the line leaves to be said.
int convert_line_text(LineView line, const Conversion &conversion, std::string *out,
                      bool *dropped = nullptr, LineNote *note = nullptr);

#endif
