// SPDX-License-Identifier: MIT
// The one-pass conversion against the reference path: random files of keyword,
// comment, line-end and number tokens are read once with tool_read_line and
// converted line by line with classify_line and convert_line, and once with the block
// reader and the conversion pass, fed in blocks of random sizes. Force and moment
// lines in which convert_line finds no number are converted by a model of the second
// reading (indentation, word, separator with at most one "=" or ":", number) written
// here with a regular expression. Lines, output and counts must be identical, and so
// must the counts of converted lines, of lines that lost digits after their value, of
// lines with no value and of values that are not finite. JOINT2SI_RANDOM_SAMPLES
// (default 2000 files) and JOINT2SI_RANDOM_SEED choose the files.
#include "convert/block_line_reader.h"
#include "convert/units.h"
#include "pipeline/convert_pass.h"

#include "libtools/tool_console.h"
#include "libtools/tool_memory.h"
#include "libtools/tool_sys_io.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <regex>
#include <string>
#include <vector>

namespace {

long env_number(const char *name, long fallback) {
    const char *text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::strtol(text, nullptr, 10) : fallback;
}

using Lines = std::vector<std::string>;

const char *const kTokens[] = {"shear_force",
                               "axial_force",
                               "bending_moment",
                               "max_shear_force_y",
                               "shear_",
                               "_force",
                               "bending_",
                               "name J1",
                               "node",
                               " ",
                               " ",
                               "  ",
                               "\t",
                               "\r\n",
                               "\n",
                               "\n",
                               "\r",
                               "/",
                               "*",
                               "//",
                               "/*",
                               "*/",
                               "#",
                               "kN",
                               "x",
                               "e",
                               ".",
                               "-",
                               "+",
                               "0x",
                               "1e",
                               "**/",
                               "/**/",
                               "=",
                               ":",
                               "\xff",
                               "\x80"};

const char *const kNumbers[] = {"12.5",
                                "-3",
                                "0",
                                "-0",
                                "-0.0",
                                "+.5",
                                "5.",
                                ".",
                                "1e3",
                                "1E-3",
                                "2.5e+2",
                                "1e",
                                "1e+",
                                "0x1A",
                                "0x",
                                "inf",
                                "-INF",
                                "nan",
                                "- 5",
                                "-2147483648",
                                "-2147483648.0",
                                "123456789012345",
                                "1234567890123456",
                                "12345678901234567890",
                                "0.0000005",
                                "0.0078125",
                                "1e22",
                                "1e23",
                                "1e-22",
                                "4e-7",
                                "9999999999.9999995",
                                "1e300",
                                "-1e308",
                                "00012.50",
                                "3.14159265358979",
                                "0.1234567",
                                "1.5.2",
                                "7e5x",
                                "2p3"};

const char *const kUnitTexts[] = {"kN",  "kNm", "N",    "Nm",  "daN",    "daNm",   "lbf",
                                  "kip", "kg",  "T",    "Tm",  "lbf-in", "kip-ft", "false",
                                  "2kN", "-2",  "1e-9", "abc", "0.001",  "1e22",   "-1"};

class Soup {
  public:
    explicit Soup(std::uint64_t seed) : random_(seed) {}

    int below(int n) { return static_cast<int>(random_() % static_cast<std::uint64_t>(n)); }

    std::string number() {
        if (below(3) == 0) {
            return kNumbers[below(sizeof kNumbers / sizeof kNumbers[0])];
        }
        std::string text = below(4) == 0 ? "-" : "";
        const int digits = 1 + below(below(4) == 0 ? 18 : 7);
        for (int i = 0; i < digits; ++i) {
            text += static_cast<char>('0' + below(10));
        }
        if (below(3) != 0) {
            text.insert(text.size() - static_cast<std::size_t>(below(digits + 1)), ".");
        }
        if (below(8) == 0) {
            text += "e" + std::to_string(below(50) - 25);
        }
        return text;
    }

    // A value written after indentation, a word and a separator, with text after it.
    std::string separated() {
        static const char *const indents[] = {"", "", " ", "  ", "\t", " \t"};
        static const char *const words[] = {"shear_force",
                                            "axial_force",
                                            "bending_moment",
                                            "max_shear_force_y",
                                            "shear_force:",
                                            "J1",
                                            "note=shear_force",
                                            "=",
                                            ""};
        static const char *const separators[] = {
            " ",  "\t",   "=",    " = ", "\t=\t", ":",    " : ", "  ",
            "==", " =: ", " = :", "",    "\v",    " =\f", "= "};
        static const char *const tails[] = {"", "", " kN", " 2", ",5", " x", "\t3", " = 4"};
        return std::string(indents[below(6)]) + words[below(9)] + separators[below(15)] + number() +
               tails[below(8)];
    }

    // A file of `length` tokens; most lines are keyword, blank, number, something, or
    // a value after indentation, a word and a separator (`separated_share` in 10).
    std::string file(int length, bool zero_byte, int separated_share = 1) {
        std::string text;
        for (int i = 0; i < length; ++i) {
            const int pick = below(10);
            if (pick < separated_share) {
                text += separated();
                text += below(2) == 0 ? "\n" : "\r\n";
            } else if (pick < 3) {
                text += kTokens[below(3)];
                text += " ";
                text += number();
            } else if (pick < 4) {
                text += number();
            } else if (pick < 5) {
                text += static_cast<char>(0x80 + below(128));
            } else {
                text += kTokens[below(sizeof kTokens / sizeof kTokens[0])];
            }
        }
        if (zero_byte) {
            text.insert(static_cast<std::size_t>(below(static_cast<int>(text.size()) + 1)), 1,
                        '\0');
        }
        return text;
    }

    const char *unit_text() {
        const int pick = below(sizeof kUnitTexts / sizeof kUnitTexts[0] + 2);
        return pick < static_cast<int>(sizeof kUnitTexts / sizeof kUnitTexts[0]) ? kUnitTexts[pick]
                                                                                 : nullptr;
    }

  private:
    std::mt19937_64 random_;
};

// Hands the stream's bytes over in pieces of random size, as a file read in blocks
// meets them at random places.
struct ChunkedStream {
    ToolStream stream;
    Soup *soup;
    int largest;
    std::string delivered; // every byte handed over
};

long read_chunk(void *context, char *buffer, std::size_t size) {
    auto *chunked = static_cast<ChunkedStream *>(context);
    const std::size_t limit = 1 + static_cast<std::size_t>(chunked->soup->below(chunked->largest));
    const int got =
        tool_fread(buffer, 1, static_cast<int>(size < limit ? size : limit), chunked->stream);
    chunked->delivered.append(buffer, static_cast<std::size_t>(got > 0 ? got : 0));
    return got;
}

// The first line end of a text: its first "\n", with the CR before it.
LineEnd first_line_end_of(const std::string &text) {
    const std::size_t newline = text.find('\n');
    if (newline == std::string::npos) {
        return LineEnd::none;
    }
    return newline > 0 && text[newline - 1] == '\r' ? LineEnd::crlf : LineEnd::lf;
}

// The output kept in memory.
class TextSink : public OutputSink {
  public:
    explicit TextSink(std::string *text) : text_(text) {}
    bool append(const char *data, std::size_t size) override {
        text_->append(data, size);
        return true;
    }
    bool finish() override { return true; }

  private:
    std::string *text_;
};

// The line end the conversion keeps for a text delivered as `text`: its first one, else
// the system's.
std::string kept_line_end(const std::string &text) {
    const LineEnd first = first_line_end_of(text);
    return first == LineEnd::crlf ? "\r\n" : first == LineEnd::lf ? "\n" : tool_system_line_end();
}

// The bytes of `path` as a stream opened with "r" delivers them.
std::string delivered_text(const std::string &path) {
    std::string text;
    ToolStream stream = tool_fopen(path.c_str(), "r");
    char buffer[4096];
    int got = 0;
    while ((got = tool_fread(buffer, 1, sizeof buffer, stream)) > 0) {
        text.append(buffer, static_cast<std::size_t>(got));
    }
    tool_fclose(&stream);
    return text;
}

struct Converted {
    Lines lines;
    std::string output;
    long long forces = 0;
    long long moments = 0;
    long long dropped = 0;     // converted lines with a digit after the value
    std::string first_dropped; // the first of them as read
    long long no_value = 0;    // force and moment lines of a converted kind without a number
    std::string first_no_value;
    long long not_finite = 0; // values whose conversion is not finite
    std::string first_not_finite;
    bool refused = false;

    bool operator==(const Converted &other) const {
        return lines == other.lines && output == other.output && forces == other.forces &&
               moments == other.moments && dropped == other.dropped &&
               first_dropped == other.first_dropped && no_value == other.no_value &&
               first_no_value == other.first_no_value && not_finite == other.not_finite &&
               first_not_finite == other.first_not_finite;
    }
};

// Counts a line in a count whose first line is kept.
void note(long long *count, std::string *first, const std::string &line) {
    if ((*count)++ == 0) {
        *first = line;
    }
}

// Whether a digit follows the number at the start of `number` (where strtod ends it).
bool digit_after(const char *number) {
    char *stop = nullptr;
    std::strtod(number, &stop);
    return std::string(stop).find_first_of("0123456789") != std::string::npos;
}

// Whether a digit follows the number after the first blank.
bool digit_after_value(const std::string &line) {
    return digit_after(line.c_str() + line.find(' ') + 1);
}

// Where the number of a force or moment line begins: after the first blank when a
// number follows it there; else after indentation, one word, a separator (blanks and
// tabs, at most one "=" or ":") and the white space that reading a number skips. The
// offset, or npos when neither reading finds a number.
std::size_t number_offset(const std::string &line) {
    static const std::regex before_number("^[ \\t]*[^ \\t=]+[ \\t]*[=:]?[ \\t\\n\\v\\f\\r]*");
    const std::size_t blank = line.find(' ');
    if (blank != std::string::npos && tool_atof_checked(line.c_str() + blank + 1, nullptr)) {
        return blank + 1;
    }
    std::smatch head;
    if (std::regex_search(line, head, before_number) &&
        tool_atof_checked(line.c_str() + head.length(0), nullptr)) {
        return static_cast<std::size_t>(head.length(0));
    }
    return std::string::npos;
}

// What is written for a force or moment line of a converted kind that convert_line
// left as it is, counted into `*result`.
std::string model_line(const std::string &line, int kind, double factor, Converted *result) {
    const std::size_t offset = number_offset(line);
    if (offset == std::string::npos) {
        note(&result->no_value, &result->first_no_value, line);
        return line;
    }
    const double value = tool_atof(line.c_str() + offset);
    if (value == -2147483648.0) {
        return line;
    }
    if (!std::isfinite(value) || !std::isfinite(value * factor)) {
        note(&result->not_finite, &result->first_not_finite, line);
        return line;
    }
    (kind == KIND_FORCE ? result->forces : result->moments) += 1;
    if (digit_after(line.c_str() + offset)) {
        note(&result->dropped, &result->first_dropped, line);
    }
    return line.substr(0, offset) + tool_dtoa(6, 6, value * factor);
}

// The reference: tool_read_line, classify_line and convert_line, and the model of the
// second reading where convert_line reads no number.
Converted reference(const std::string &path, const char *force, const char *moment) {
    Converted result;
    const std::string line_end = kept_line_end(delivered_text(path));
    reset_unit_factors();
    tool_read_line_clear_status();
    ToolStream stream = tool_fopen(path.c_str(), "r");
    while (char *line = tool_read_line(stream, nullptr, 7, 1)) {
        result.lines.emplace_back(line);
        const std::string &read = result.lines.back();
        const int kind = classify_line(line);
        const char *unit = kind == KIND_FORCE ? force : moment;
        const double factor = kind != 0 ? get_unit_factor(unit, kind) : 0.0;
        if (kind != 0 && convert_line(kind, &line, unit) == 1) {
            (kind == KIND_FORCE ? result.forces : result.moments) += 1;
            if (digit_after_value(read)) {
                note(&result.dropped, &result.first_dropped, read);
            }
        } else if (kind != 0 && std::fabs(factor) > 1e-9) {
            result.output += model_line(read, kind, factor, &result);
            result.output += line_end;
            tool_free(line, __FILE__, __LINE__);
            continue;
        }
        result.output += line != nullptr ? line : "(lost)";
        result.output += line_end;
        tool_free(line, __FILE__, __LINE__);
    }
    result.refused = (tool_read_line_status() & TOOL_READ_LINE_ZERO_BYTE) != 0;
    tool_fclose(&stream);
    return result;
}

// The block reader alone, then the conversion pass over a second reading.
Converted fast(const std::string &path, const char *force, const char *moment, Soup *soup) {
    Converted result;
    LineReaderStorage storage;
    const int largest = 1 + soup->below(soup->below(2) == 0 ? 8 : 300);
    ToolStream stream = tool_fopen(path.c_str(), "r");
    ChunkedStream chunked{stream, soup, largest, {}};
    BlockLineReader reader(ByteSource{&chunked, read_chunk}, &storage,
                           1 + static_cast<std::size_t>(soup->below(64)));
    LineView line{};
    while (reader.next(&line)) {
        result.lines.emplace_back(line.text, line.length);
    }
    tool_fclose(&stream);
    if (!reader.zero_byte()) {
        EXPECT_EQ(reader.first_line_end(), first_line_end_of(chunked.delivered));
    }

    reset_unit_factors();
    const Conversion conversion{get_unit_factor(force, KIND_FORCE),
                                get_unit_factor(moment, KIND_MOMENT)};
    stream = tool_fopen(path.c_str(), "r");
    chunked.stream = stream;
    ConversionCounts counts{};
    TextSink sink(&result.output);
    const ConvertOutcome outcome =
        convert(ByteSource{&chunked, read_chunk}, &sink, conversion, &counts);
    tool_fclose(&stream);
    result.refused = outcome == ConvertOutcome::not_text;
    EXPECT_EQ(reader.zero_byte(), result.refused);
    result.forces = counts.forces;
    result.moments = counts.moments;
    result.dropped = counts.dropped;
    result.first_dropped = counts.first_dropped;
    result.no_value = counts.no_value;
    result.first_no_value = counts.first_no_value;
    result.not_finite = counts.not_finite;
    result.first_not_finite = counts.first_not_finite;
    return result;
}

std::string visible(const std::string &text) {
    std::string out;
    for (const unsigned char c : text) {
        if (c >= 32 && c < 127) {
            out += static_cast<char>(c);
        } else {
            char code[8];
            std::snprintf(code, sizeof code, "\\x%02x", c);
            out += code;
        }
    }
    return out;
}

// Converts `files` random files, each with `separated_share` in 10 of its pieces a
// line whose value follows indentation, a word and a separator, both ways.
void compare_random_files(long files, int separated_share) {
    Soup soup(static_cast<std::uint64_t>(env_number("JOINT2SI_RANDOM_SEED", 14)));
    TempDir dir;
    const std::string path = dir.file("soup.jnt").string();
    int failures = 0;
    for (long i = 0; i < files && failures < 5; ++i) {
        const std::string text =
            soup.file(1 + soup.below(120), soup.below(40) == 0, separated_share);
        dir.write("soup.jnt", text);
        const char *force = soup.unit_text();
        const char *moment = soup.unit_text();
        const Converted expected = reference(path, force, moment);
        const Converted actual = fast(path, force, moment, &soup);
        const bool same =
            expected.refused == actual.refused && (expected.refused || expected == actual);
        if (!same) {
            ++failures;
            ADD_FAILURE() << "file " << i << " '" << visible(text) << "' units "
                          << (force ? force : "(none)") << ", " << (moment ? moment : "(none)")
                          << "\nexpected '" << visible(expected.output) << "'\nactual   '"
                          << visible(actual.output) << "'";
        }
    }
}

TEST(FastConversionDifferential, RandomFilesGiveTheReferenceOutput) {
    compare_random_files(env_number("JOINT2SI_RANDOM_SAMPLES", 2000), 1);
}

TEST(FastConversionDifferential, SeparatedValuesGiveTheModelOutput) {
    compare_random_files(env_number("JOINT2SI_RANDOM_SAMPLES", 2000) / 2, 8);
}

} // namespace
