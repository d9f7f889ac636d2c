// SPDX-License-Identifier: MIT
// The text of a conversion record: written and read back unchanged, read strictly,
// and checked against a file's bytes.
#include "file/conversion_record.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

const std::string kValid = "joint2si-record 1\n"
                           "version 0.1.0\n"
                           "force kN 1000\n"
                           "moment kNm 1000\n"
                           "size 12345\n"
                           "crc32 1a2b3c4d\n";

RecordedUnit unit(const char *text, double factor) {
    RecordedUnit recorded;
    recorded.converted = true;
    recorded.unit = text;
    recorded.factor = factor;
    return recorded;
}

ConversionRecord record(RecordedUnit force, RecordedUnit moment, unsigned long long size,
                        unsigned long crc) {
    ConversionRecord made;
    made.version = "0.1.0";
    made.force = force;
    made.moment = moment;
    made.size = size;
    made.crc = crc;
    return made;
}

void expect_same(const ConversionRecord &read, const ConversionRecord &written) {
    EXPECT_EQ(read.version, written.version);
    for (const auto &[got, want] :
         {std::pair{read.force, written.force}, std::pair{read.moment, written.moment}}) {
        EXPECT_EQ(got.converted, want.converted);
        EXPECT_EQ(got.unit, want.unit);
        EXPECT_EQ(got.factor, want.factor) << "factors read back exactly";
    }
    EXPECT_EQ(read.size, written.size);
    EXPECT_EQ(read.crc, written.crc);
}

TEST(ConversionRecord, ReadsTheDocumentedForm) {
    ConversionRecord read;
    ASSERT_TRUE(parse_conversion_record(kValid, &read));
    expect_same(read, record(unit("kN", 1000), unit("kNm", 1000), 12345, 0x1a2b3c4d));
    std::string written;
    ASSERT_TRUE(format_conversion_record(read, &written));
    EXPECT_EQ(written, kValid);
}

// Whatever a record holds is read back as it was written, and written again the same.
TEST(ConversionRecord, RoundTrips) {
    const RecordedUnit unchanged;
    const ConversionRecord records[] = {
        record(unit("lbf", 4.448222), unit("lbf-in", 0.113), 0, 0),
        record(unit("kip", 4448.2216152605), unchanged, 1, 0xffffffffUL),
        record(unchanged, unit("1000", 1000), std::numeric_limits<unsigned long long>::max(), 7),
        record(unchanged, unchanged, 42, 0x80000000UL),
        record(unit("-2.5", -2.5), unit("1e-7", 1e-7), 10, 0xdeadbeefUL),
        record(unit("x", 0.1 + 0.2), unit(std::string(64, 'u').c_str(), 5e300), 3, 3),
    };
    for (const ConversionRecord &written : records) {
        std::string text;
        ASSERT_TRUE(format_conversion_record(written, &text));
        ConversionRecord read;
        ASSERT_TRUE(parse_conversion_record(text, &read)) << text;
        expect_same(read, written);
        std::string again;
        ASSERT_TRUE(format_conversion_record(read, &again));
        EXPECT_EQ(again, text);
    }
}

// Each text departs from the valid one in one way; none is a record.
TEST(ConversionRecord, RefusesEveryOtherForm) {
    const auto with = [](const std::string &from, const std::string &to) {
        std::string text = kValid;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    const std::string malformed[] = {
        "",
        kValid.substr(0, kValid.size() - 1),            // no line end at the end
        kValid + "\n",                                  // an empty line more
        kValid + "extra 1\n",                           // a line more
        with("size 12345\n", ""),                       // a line missing
        with("joint2si-record 1", "joint2si-record 2"), // another format
        with("\n", "\r\n"),                             // CR LF
        with("version 0.1.0", "version 0.1 .0"),        // a word more
        with("force kN 1000", "force  kN 1000"),        // two blanks
        with("force kN 1000", "force kN 1000 "),        // a trailing blank
        with("force kN 1000", "force\tkN 1000"),        // a tab
        with("force kN 1000", "force kN"),              // no factor
        with("force kN 1000", "force kN 0"),            // a factor that changes nothing
        with("force kN 1000", "force kN inf"),          // not finite
        with("force kN 1000", "force kN 1e999"),        // out of range
        with("force kN 1000", "force kN 0x10"),         // not decimal
        with("force kN 1000", "force kN +1000"),        // a sign the writer never writes
        with("force kN 1000", "force " + std::string(65, 'u') + " 1"),            // unit too long
        with("force kN 1000\nmoment kNm 1000", "moment kNm 1000\nforce kN 1000"), // order
        with("moment kNm 1000", "moment"),               // neither unit nor "unchanged"
        with("size 12345", "size 012345"),               // a leading zero
        with("size 12345", "size -1"),                   // negative
        with("size 12345", "size 18446744073709551616"), // too large
        with("crc32 1a2b3c4d", "crc32 1A2B3C4D"),        // upper case
        with("crc32 1a2b3c4d", "crc32 a2b3c4d"),         // seven digits
        with("crc32 1a2b3c4d", "crc32 1a2b3c4g"),        // not hexadecimal
        std::string("joint2si-record 1\n\0", 19) + kValid.substr(18), // a zero byte
    };
    for (const std::string &text : malformed) {
        ConversionRecord read;
        read.version = "untouched";
        EXPECT_FALSE(parse_conversion_record(text, &read)) << text;
        EXPECT_EQ(read.version, "untouched");
        EXPECT_EQ(check_conversion_record(text, 12345, 0x1a2b3c4d), RecordCheck::unreadable)
            << text;
    }
}

// A record is written only when it would read back as itself.
TEST(ConversionRecord, WritesOnlyWhatReadsBack) {
    const RecordedUnit fine = unit("kN", 1000);
    ConversionRecord bad_version = record(fine, fine, 1, 1);
    bad_version.version = "0.1 beta";
    const ConversionRecord refused[] = {
        record(unit("", 1000), fine, 1, 1),
        record(unit("k N", 1000), fine, 1, 1),
        record(fine, unit("kNm\n", 1000), 1, 1),
        record(unit(std::string(65, 'u').c_str(), 1), fine, 1, 1),
        record(unit("kN", 0.0), fine, 1, 1),
        record(fine, unit("kNm", std::nan("")), 1, 1),
        bad_version,
    };
    for (const ConversionRecord &bad : refused) {
        std::string text = "untouched";
        EXPECT_FALSE(format_conversion_record(bad, &text));
        EXPECT_EQ(text, "untouched");
    }
}

// The record of this program's own conversion: a factor of 0 or no unit text leaves a
// kind unchanged, the version is the program's, and the bytes named are checked.
TEST(ConversionRecord, MadeFromARunsConversionAndChecked) {
    const ConversionRecord made = make_conversion_record("kN", 1000, "false", 0, 9, 0xabc);
    EXPECT_EQ(made.version, conversion_record_version());
    EXPECT_TRUE(made.force.converted);
    EXPECT_FALSE(made.moment.converted);
    EXPECT_FALSE(make_conversion_record(nullptr, 1000, "kNm", 1, 0, 0).force.converted);
    std::string text;
    ASSERT_TRUE(format_conversion_record(made, &text));
    EXPECT_EQ(check_conversion_record(text, 9, 0xabc), RecordCheck::matches);
    EXPECT_EQ(check_conversion_record(text, 10, 0xabc), RecordCheck::changed);
    EXPECT_EQ(check_conversion_record(text, 9, 0xabd), RecordCheck::changed);
}

TEST(ConversionRecord, NamesTheUnitsForAPerson) {
    const RecordedUnit unchanged;
    const struct {
        ConversionRecord record;
        const char *text;
    } cases[] = {
        {record(unit("kN", 1000), unit("kNm", 1000), 0, 0), "kN and kNm"},
        {record(unit("lbf", 4.448222), unchanged, 0, 0), "lbf"},
        {record(unchanged, unit("kip-ft", 1355.8), 0, 0), "kip-ft"},
        {record(unchanged, unchanged, 0, 0), ""},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(recorded_units_text(c.record), c.text);
    }
}

} // namespace
