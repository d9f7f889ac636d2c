// SPDX-License-Identifier: MIT
// Characters of UTF-8 text as the pattern matcher and the folded comparison see them,
// and Unicode's simple case folding of them.
#pragma once

#include <cstdint>

namespace case_fold {

// One character of UTF-8 text: a code point for a well-formed sequence, or for a byte
// that starts none (a name in another encoding), kInvalidByteBase + that byte, which no
// code point equals, so such a byte matches only itself.
using Unit = std::uint32_t;
constexpr Unit kInvalidByteBase = 0x110000;

// Reads the character at *text (which is not at its terminator) and moves past it.
Unit next_unit(const char *&text);

// Unicode's simple case folding of a unit (statuses C and S of CaseFolding.txt); any
// other unit is its own folding.
Unit fold(Unit unit);

} // namespace case_fold
