// SPDX-License-Identifier: MIT
// The byte searches of the conversion against the plainest model: the first matching
// byte found one at a time. Each run lies alone in an allocation of its exact size,
// so that the sanitizer builds catch a read past its end.
#include "convert/byte_scan.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <random>

namespace {

const char *model_find(const char *p, const char *end, char value) {
    while (p < end && *p != value) {
        ++p;
    }
    return p;
}

TEST(FindInLine, FindsTheFirstMatchAndReadsNothingPastTheEnd) {
    std::mt19937 random(20261208);
    // Bytes near the searched ones ('_' 0x5f, ' ' 0x20) and with the high bit set try the
    // borrows of the word-at-a-time test.
    const char alphabet[] = {'_', ' ', '^', '`', '!', '\x1f', '\xdf', '\xa0', '\x80', 'a', '0'};
    for (std::size_t length = 0; length <= 40; ++length) {
        for (int sample = 0; sample < 400; ++sample) {
            const std::unique_ptr<char[]> run(new char[length]);
            for (std::size_t i = 0; i < length; ++i) {
                run[i] = alphabet[random() % sizeof alphabet];
            }
            const std::size_t from = length == 0 ? 0 : random() % (length + 1);
            const char *begin = run.get() + from;
            const char *end = run.get() + length;
            ASSERT_EQ(byte_scan::find_in_line<'_'>(begin, end), model_find(begin, end, '_'))
                << "length " << length << " from " << from;
            ASSERT_EQ(byte_scan::find_in_line<' '>(begin, end), model_find(begin, end, ' '))
                << "length " << length << " from " << from;
        }
    }
}

} // namespace
