// SPDX-License-Identifier: MIT
// Large inputs are read ahead and written behind in threads of their own. A large
// text converted in one call must give exactly what its joints give converted one by
// one (each too small to start a thread), and a failure or an exception on either
// side of the threads must come back to the caller as it does without them.
#include "pipeline/convert_pass.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <new>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kNever = static_cast<std::size_t>(-1);

// A text in memory, delivered in reads as large as asked; at byte `fail_at` it
// reports an error, at byte `throw_at` it throws.
struct MemorySource {
    const std::string *text;
    std::size_t fail_at = kNever;
    std::size_t throw_at = kNever;
    std::size_t position = 0;

    static long read(void *context, char *buffer, std::size_t size) {
        auto *source = static_cast<MemorySource *>(context);
        const std::size_t count = std::min(size, source->text->size() - source->position);
        if (source->position + count > source->throw_at) {
            throw std::bad_alloc();
        }
        if (source->position + count > source->fail_at) {
            return -1;
        }
        std::memcpy(buffer, source->text->data() + source->position, count);
        source->position += count;
        return static_cast<long>(count);
    }
};

// Output collected in memory; a write that would pass byte `fail_at` fails, one that
// would pass `throw_at` throws.
struct MemoryTarget : OutputSink {
    std::string text;
    std::size_t fail_at = kNever;
    std::size_t throw_at = kNever;

    bool append(const char *data, std::size_t size) override {
        if (text.size() + size > throw_at) {
            throw std::bad_alloc();
        }
        if (text.size() + size > fail_at) {
            return false;
        }
        text.append(data, size);
        return true;
    }
    bool finish() override { return true; }
};

const Conversion kConversion{1000.0, 4.4482216152605};

// Joints with numbers of every common form, comments of each kind and blank lines.
std::vector<std::string> joints(std::size_t count) {
    std::mt19937 random(7);
    const char *const values[] = {"12.5 kN", "-0.004", "1e3", "7", "-12345.678901", "3,5", "0x1A"};
    const char *const comments[] = {"", " # about y", " // peak", " /* a\nb */ tail"};
    std::vector<std::string> result;
    for (std::size_t i = 0; i < count; ++i) {
        std::string joint = "// joint " + std::to_string(i) + "\nname J" + std::to_string(i) + "\n";
        joint += std::string("shear_force ") + values[random() % 7] + comments[random() % 4] + "\n";
        joint += std::string("bending_moment ") + values[random() % 7] + comments[random() % 4];
        joint += "\n\n";
        result.push_back(joint);
    }
    return result;
}

ConvertOutcome convert(const std::string &text, MemorySource source, MemoryTarget *target,
                       ConversionCounts *counts) {
    source.text = &text;
    return convert(ByteSource{&source, MemorySource::read}, target, kConversion, counts);
}

TEST(ThreadedConversion, GivesWhatSmallPiecesGive) {
    const std::vector<std::string> pieces = joints(60000); // several MB
    std::string whole;
    MemoryTarget expected;
    ConversionCounts sum;
    for (const std::string &piece : pieces) {
        whole += piece;
        ConversionCounts counts;
        ASSERT_EQ(convert(piece, MemorySource{}, &expected, &counts), ConvertOutcome::converted);
        sum.lines += counts.lines;
        sum.forces += counts.forces;
        sum.moments += counts.moments;
        sum.dropped += counts.dropped;
    }
    ASSERT_GT(whole.size(), std::size_t{3} << 20);
    MemoryTarget actual;
    ConversionCounts counts;
    ASSERT_EQ(convert(whole, MemorySource{}, &actual, &counts), ConvertOutcome::converted);
    EXPECT_TRUE(actual.text == expected.text);
    EXPECT_EQ(counts.lines, sum.lines);
    EXPECT_EQ(counts.forces, sum.forces);
    EXPECT_EQ(counts.moments, sum.moments);
    EXPECT_EQ(counts.dropped, sum.dropped);
}

TEST(ThreadedConversion, FailuresOnEitherSideComeBack) {
    std::string text;
    for (const std::string &piece : joints(60000)) {
        text += piece;
    }
    const std::size_t middle = text.size() / 2;
    std::string with_zero = text;
    with_zero[middle] = '\0';
    struct Case {
        const char *what;
        const std::string *input;
        MemorySource source;
        std::size_t write_fails_at;
        ConvertOutcome outcome;
    };
    const Case cases[] = {
        {"the source fails", &text, {nullptr, middle, kNever}, kNever, ConvertOutcome::read_failed},
        {"a zero byte", &with_zero, {}, kNever, ConvertOutcome::not_text},
        {"a write fails", &text, {}, middle, ConvertOutcome::write_failed},
        {"both fail", &text, {nullptr, middle, kNever}, middle / 2, ConvertOutcome::write_failed},
    };
    for (const Case &c : cases) {
        MemoryTarget target;
        target.fail_at = c.write_fails_at;
        EXPECT_EQ(convert(*c.input, c.source, &target, nullptr), c.outcome) << c.what;
    }
}

TEST(ThreadedConversion, ExceptionsReachTheCaller) {
    std::string text;
    for (const std::string &piece : joints(60000)) {
        text += piece;
    }
    MemoryTarget reading;
    EXPECT_THROW(convert(text, MemorySource{nullptr, kNever, text.size() / 2}, &reading, nullptr),
                 std::bad_alloc);
    MemoryTarget writing;
    writing.throw_at = text.size() / 2;
    EXPECT_THROW(convert(text, MemorySource{}, &writing, nullptr), std::bad_alloc);
}

} // namespace
