// SPDX-License-Identifier: MIT
#include "dstring/case_fold.h"

#include <algorithm>
#include <iterator>

namespace case_fold {
namespace {

struct Pair {
    Unit from;
    Unit to;
};

constexpr Pair kFolding[] = {
#include "dstring/case_fold_table.inc"
};

static_assert(std::size(kFolding) > 1000, "the generated table is complete");

bool is_continuation(unsigned char byte) {
    return (byte & 0xC0U) == 0x80U;
}

// The length of the sequence a lead byte announces, and its payload bits; 0 for a byte
// that cannot lead one.
int sequence_length(unsigned char lead, Unit *bits) {
    if (lead < 0x80U) {
        *bits = lead;
        return 1;
    }
    if (lead >= 0xC2U && lead <= 0xDFU) {
        *bits = lead & 0x1FU;
        return 2;
    }
    if (lead >= 0xE0U && lead <= 0xEFU) {
        *bits = lead & 0x0FU;
        return 3;
    }
    if (lead >= 0xF0U && lead <= 0xF4U) {
        *bits = lead & 0x07U;
        return 4;
    }
    return 0;
}

// The smallest code point a sequence of each length may hold (shorter forms are
// overlong and not well formed).
constexpr Unit kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};

} // namespace

Unit next_unit(const char *&text) {
    const auto *bytes = reinterpret_cast<const unsigned char *>(text);
    Unit code = 0;
    const int length = sequence_length(bytes[0], &code);
    int taken = 1;
    while (taken < length && is_continuation(bytes[taken])) {
        code = (code << 6U) | (bytes[taken] & 0x3FU);
        ++taken;
    }
    const bool well_formed = length > 0 && taken == length && code >= kSmallest[length] &&
                             code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
    if (!well_formed) {
        ++text;
        return kInvalidByteBase + bytes[0];
    }
    text += length;
    return code;
}

Unit fold(Unit unit) {
    if (unit < 0x80) {
        return (unit >= 'A' && unit <= 'Z') ? unit + ('a' - 'A') : unit;
    }
    const Pair *end = std::end(kFolding);
    const Pair *found =
        std::lower_bound(std::begin(kFolding), end, unit,
                         [](const Pair &pair, Unit key) { return pair.from < key; });
    return (found != end && found->from == unit) ? found->to : unit;
}

} // namespace case_fold
