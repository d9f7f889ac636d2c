// SPDX-License-Identifier: MIT
// Bit arrays numbered from 0: bit k is in byte k / 8 under the mask 1 << (k % 8).
#include "libtools/tool_dstring.h"

#include <cstdio>

namespace {

bool get_bit(const unsigned char *bits, int k) {
    return ((bits[k / 8] >> (k % 8)) & 1) != 0;
}

void set_bit(unsigned char *bits, int k, bool on) {
    const auto mask = static_cast<unsigned char>(1u << (k % 8));
    bits[k / 8] = static_cast<unsigned char>(on ? (bits[k / 8] | mask) : (bits[k / 8] & ~mask));
}

} // namespace

extern "C" {

void tool_print_bits(const char *label, int n, const unsigned char *bits) {
    if (label != nullptr) {
        std::fputs(label, stdout);
    }
    if (bits != nullptr) {
        for (int k = 0; k < n; ++k) {
            std::putchar(get_bit(bits, k) ? '1' : '0');
        }
    }
    std::putchar('\n');
}

unsigned char *tool_bits_reverse(int n, unsigned char *bits) {
    if (bits == nullptr) {
        return nullptr;
    }
    for (int i = 0; i < n / 2; ++i) {
        const bool low = get_bit(bits, i);
        set_bit(bits, i, get_bit(bits, n - 1 - i));
        set_bit(bits, n - 1 - i, low);
    }
    return bits;
}

} // extern "C"
