// SPDX-License-Identifier: MIT
// Where an edit script shows a change that could stand in several places (an added
// line equal to its neighbour), the place `diff` chooses: changes slide to join other
// changes, else as far down as they go.
#ifndef JOINT2SI_DIFF_BOUNDARIES_H
#define JOINT2SI_DIFF_BOUNDARIES_H

#include "support/unified_diff.h"

#include <string_view>
#include <vector>

/// Rewrites `script` (a valid script from `old_lines` to `new_lines`) into the equally
/// short script whose changes sit where GNU diff puts them, removals first in each
/// change.
void shift_boundaries(const std::vector<std::string_view> &old_lines,
                      const std::vector<std::string_view> &new_lines, std::vector<Edit> *script);

#endif
